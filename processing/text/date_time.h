// Dates and times as the system sees them: naive local civil time to the second.
//
// The gateway stamps its trace lines in local time without a zone, and every
// table, report and log of this system carries the same naive time.  A
// DateTime is stored in the database as "YYYY-MM-DD HH:MM:SS", which sorts and
// compares as text.  All the text forms the system shows are built here, so
// logs, reports and grids agree.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace travik {

class DateTime {
 public:
  DateTime() = default;
  // Fields are not range-checked here; use fromFields for untrusted input.
  DateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

  // Rejects impossible dates (month 13, 30 February, hour 24 ...).
  static std::optional<DateTime> fromFields(int year, int month, int day, int hour, int minute, int second);
  // Parses the stored form "YYYY-MM-DD HH:MM:SS"; also accepts a bare date.
  static std::optional<DateTime> parseStored(std::string_view text);
  // Local civil time of a POSIX time.
  static DateTime fromTimeT(std::time_t t);
  // The POSIX time of this local civil time (the platform's DST rules apply).
  std::time_t toTimeT() const;

  int year() const { return year_; }
  int month() const { return month_; }
  int day() const { return day_; }
  int hour() const { return hour_; }
  int minute() const { return minute_; }
  int second() const { return second_; }

  // Seconds since 1970-01-01 00:00:00 of the civil calendar (no zone involved).
  std::int64_t serialSeconds() const;
  static DateTime fromSerialSeconds(std::int64_t seconds);
  // Days since 1970-01-01 of the civil calendar.
  std::int64_t dayNumber() const;

  DateTime addSeconds(std::int64_t seconds) const { return fromSerialSeconds(serialSeconds() + seconds); }
  DateTime addMinutes(std::int64_t minutes) const { return addSeconds(minutes * 60); }
  DateTime addHours(std::int64_t hours) const { return addSeconds(hours * 3600); }

  // Whole seconds from this moment to a later one (negative when earlier).
  std::int64_t secondsUntil(const DateTime& later) const { return later.serialSeconds() - serialSeconds(); }
  // Number of midnights between this and a later moment (the calendar-day difference).
  std::int64_t dayBoundariesUntil(const DateTime& later) const { return later.dayNumber() - dayNumber(); }

  auto operator<=>(const DateTime& other) const = default;
  bool operator==(const DateTime& other) const = default;

  // "YYYY-MM-DD HH:MM:SS": the database form.
  std::string toStored() const;
  // The same into the caller's buffer, without an allocation; the view points into `buffer`.
  std::string_view toStored(std::array<char, 32>& buffer) const;
  // The general date form of a US setting: "M/D/YYYY h:mm:ss AM" ("M/D/YYYY"
  // alone at midnight, as the platform's general date showed it).
  std::string toGeneral() const;
  // Month, day, four-digit year without separators: "MMDDYYYY".
  std::string toMMDDYYYY() const;
  // Hours 00-23, minutes, seconds without separators: "HHMMSS".
  std::string toHHMMSS() const;
  // "yymmdd_hh_mm_ss" of activity-log and grid file names.
  std::string toFileStamp() const;
  // "YYYY/MM/DD-HH:MM:SS": the time stamp of a gateway trace line (24-hour clock).
  std::string toTraceStamp() const;

 private:
  int year_ = 1899;
  int month_ = 12;
  int day_ = 30;
  int hour_ = 0;
  int minute_ = 0;
  int second_ = 0;
};

}  // namespace travik

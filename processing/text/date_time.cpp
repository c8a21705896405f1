#include "processing/text/date_time.h"

#include <algorithm>
#include <cstdio>

namespace travik {

namespace {

// Howard Hinnant's civil-calendar algorithms: exact for the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

int daysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2) return (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 29 : 28;
  return days[month - 1];
}

int digits(std::string_view text, std::size_t pos, std::size_t count, bool& ok) {
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') {
      ok = false;
      return 0;
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

DateTime::DateTime(int year, int month, int day, int hour, int minute, int second)
    : year_(year), month_(month), day_(day), hour_(hour), minute_(minute), second_(second) {}

std::optional<DateTime> DateTime::fromFields(int year, int month, int day, int hour, int minute, int second) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
    return std::nullopt;
  return DateTime(year, month, day, hour, minute, second);
}

std::optional<DateTime> DateTime::parseStored(std::string_view text) {
  bool ok = true;
  if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
    const int y = digits(text, 0, 4, ok), m = digits(text, 5, 2, ok), d = digits(text, 8, 2, ok);
    return ok ? fromFields(y, m, d, 0, 0, 0) : std::nullopt;
  }
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
    return std::nullopt;
  const int y = digits(text, 0, 4, ok), m = digits(text, 5, 2, ok), d = digits(text, 8, 2, ok);
  const int h = digits(text, 11, 2, ok), mi = digits(text, 14, 2, ok), s = digits(text, 17, 2, ok);
  return ok ? fromFields(y, m, d, h, mi, s) : std::nullopt;
}

DateTime DateTime::fromTimeT(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return DateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::time_t DateTime::toTimeT() const {
  std::tm local{};
  local.tm_year = year_ - 1900;
  local.tm_mon = month_ - 1;
  local.tm_mday = day_;
  local.tm_hour = hour_;
  local.tm_min = minute_;
  local.tm_sec = second_;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

std::int64_t DateTime::dayNumber() const {
  return daysFromCivil(year_, static_cast<unsigned>(month_), static_cast<unsigned>(day_));
}

std::int64_t DateTime::serialSeconds() const { return dayNumber() * 86400 + hour_ * 3600 + minute_ * 60 + second_; }

DateTime DateTime::fromSerialSeconds(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  DateTime result;
  civilFromDays(days, result.year_, result.month_, result.day_);
  result.hour_ = static_cast<int>(rest / 3600);
  result.minute_ = static_cast<int>(rest % 3600 / 60);
  result.second_ = static_cast<int>(rest % 60);
  return result;
}

namespace {

// Digits of `value` into out[0 .. width), zero-padded; only for 0 <= value < 10^width.
void putDigits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

bool twoDigits(int value) { return value >= 0 && value <= 99; }

}  // namespace

std::string_view DateTime::toStored(std::array<char, 32>& buffer) const {
  // Stored stamps are written for every event and call row: no formatted printing on that path.
  if (year_ >= 0 && year_ <= 9999 && twoDigits(month_) && twoDigits(day_) && twoDigits(hour_) && twoDigits(minute_) &&
      twoDigits(second_)) {
    char* out = buffer.data();
    putDigits(out, year_, 4);
    out[4] = '-';
    putDigits(out + 5, month_, 2);
    out[7] = '-';
    putDigits(out + 8, day_, 2);
    out[10] = ' ';
    putDigits(out + 11, hour_, 2);
    out[13] = ':';
    putDigits(out + 14, minute_, 2);
    out[16] = ':';
    putDigits(out + 17, second_, 2);
    return std::string_view(out, 19);
  }
  const int length = std::snprintf(buffer.data(), buffer.size(), "%04d-%02d-%02d %02d:%02d:%02d", year_, month_, day_,
                                   hour_, minute_, second_);
  return std::string_view(buffer.data(), std::min(static_cast<std::size_t>(length), buffer.size() - 1));
}

std::string DateTime::toStored() const {
  std::array<char, 32> buffer;
  return std::string(toStored(buffer));
}

std::string DateTime::toGeneral() const {
  char buffer[48];
  if (hour_ == 0 && minute_ == 0 && second_ == 0) {
    std::snprintf(buffer, sizeof buffer, "%d/%d/%d", month_, day_, year_);
  } else {
    const int hour12 = hour_ % 12 == 0 ? 12 : hour_ % 12;
    std::snprintf(buffer, sizeof buffer, "%d/%d/%d %d:%02d:%02d %s", month_, day_, year_, hour12, minute_, second_,
                  hour_ < 12 ? "AM" : "PM");
  }
  return buffer;
}

std::string DateTime::toMMDDYYYY() const {
  if (twoDigits(month_) && twoDigits(day_) && year_ >= 0 && year_ <= 9999) {
    std::string text(8, '0');
    putDigits(text.data(), month_, 2);
    putDigits(text.data() + 2, day_, 2);
    putDigits(text.data() + 4, year_, 4);
    return text;
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d%02d%04d", month_, day_, year_);
  return buffer;
}

std::string DateTime::toHHMMSS() const {
  if (twoDigits(hour_) && twoDigits(minute_) && twoDigits(second_)) {
    std::string text(6, '0');
    putDigits(text.data(), hour_, 2);
    putDigits(text.data() + 2, minute_, 2);
    putDigits(text.data() + 4, second_, 2);
    return text;
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d%02d%02d", hour_, minute_, second_);
  return buffer;
}

std::string DateTime::toFileStamp() const {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d%02d%02d_%02d_%02d_%02d", year_ % 100, month_, day_, hour_, minute_,
                second_);
  return buffer;
}

std::string DateTime::toTraceStamp() const {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d-%02d:%02d:%02d", year_, month_, day_, hour_, minute_, second_);
  return buffer;
}

}  // namespace travik

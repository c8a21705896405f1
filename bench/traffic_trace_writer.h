// Writes trace lines into MVLOG files the way the gateway does.
//
// Each line: " MVLOG 0000 0000 ", the time stamp "YYYY/MM/DD-HH:MM:SS.mmm",
// a blank, an eight-character thread field, " Line ", the line number
// without leading zeros, ": ", the event text and a closing blank; CR LF
// ends every line.  Text reaches the file in the gateway's single-byte code
// page.  A file is closed once it has reached the size limit and the next
// line falls into a later second; each file is named after its first line's
// time (so name order is time order) and its modification time is set to
// its last line's second.  Since no file ends in the second in which the next
// one starts, a file's modification time is always earlier than every event
// of the files after it.  The caller also says where a file may not end (see
// the generator).  A writer asked to roll over anywhere drops both rules: a
// full file ends after any line, in the second the next one starts too; only
// a file's first second stays its own, so that names stay unique.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench/traffic_calls.h"

namespace travik::traffic {

// One complete trace line of an event, CR LF included.
std::string traceLine(Millis time, int line, std::string_view text);
// The time stamp of a trace line (as traceLine writes it, CR LF or not);
// throws std::runtime_error when the line has none.
Millis traceLineTime(std::string_view line);
// "MVLOG.YYYYMMDD.HHMMSS.log" after the file's first line.
std::string traceFileName(Millis firstLine);
// UTF-8 text in the gateway's code page: characters U+00A0 to U+00FF become
// single bytes; the generator writes no other non-ASCII characters.
std::string toGatewayCodePage(std::string_view utf8);

class TraceWriter {
 public:
  TraceWriter(std::filesystem::path folder, std::uint64_t maxFileBytes, bool rollOverAnywhere = false);
  ~TraceWriter();
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

  // An event of a gateway line; mayBreak false keeps it in the current file.
  void writeEvent(Millis time, int line, std::string_view text, bool mayBreak = true);
  // A gateway notice that belongs to no line (the parser skips it).
  void writeNotice(Millis time, std::string_view text, bool mayBreak = true);
  // The lines written from now on are stamped `shift` ms away from their
  // time (a gateway clock set back or ahead), and a file closed from now on
  // takes its last line's stamp as its modification time.  Files still
  // roll over and are named by the lines' true times.
  void shiftStamps(Millis shift) { shift_ = shift; }
  // Closes the last file and sets its modification time.
  void finish();

  const std::vector<std::filesystem::path>& files() const { return files_; }
  std::uint64_t lines() const { return lines_; }

 private:
  void append(Millis time, const std::string& text, bool mayBreak);
  void closeFile();
  const std::string& stamp(Millis time);

  std::filesystem::path folder_;
  std::uint64_t maxFileBytes_;
  bool rollOverAnywhere_;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::uint64_t fileBytes_ = 0;
  std::int64_t firstSecond_ = 0;  // of the open file's first line
  std::int64_t lastSecond_ = 0;
  std::int64_t lastStampSecond_ = 0;
  Millis shift_ = 0;
  std::vector<std::filesystem::path> files_;
  std::uint64_t lines_ = 0;
  std::int64_t stampSecond_ = -1;
  std::string stampText_;
  std::string line_;
};

}  // namespace travik::traffic

// Test support for the call reconstruction: events written straight into
// Events as the trace-log parser stores them, and a call module prepared the
// way the line walk prepares it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/db.h"
#include "processing/calls/call_module.h"
#include "processing/runtime/program.h"
#include "processing/text/date_time.h"

namespace travik::test {

// Writes the events of one line, each 100 ms after the one before unless
// told otherwise; sequences count up within one instant as the parser numbers them.
class LineTrace {
 public:
  LineTrace(Program& program, int line, const DateTime& start) : program_(program), line_(line), time_(start) {
    if (program.highestLineNumber < line) program.highestLineNumber = line;
  }

  // The next event, `stepMs` after the previous one.
  LineTrace& operator()(std::string_view data, int stepMs = 100) {
    advance(stepMs);
    write(data);
    return *this;
  }
  // Several events, 100 ms apart.
  LineTrace& events(const std::vector<std::string>& texts) {
    for (const auto& text : texts) (*this)(text);
    return *this;
  }
  // An event in the same instant as the previous one (the next sequence).
  LineTrace& sameInstant(std::string_view data) {
    write(data);
    return *this;
  }
  void pause(int seconds) { advance(seconds * 1000); }
  DateTime now() const { return time_; }
  int milliseconds() const { return ms_; }

 private:
  void advance(int stepMs) {
    int total = ms_ + stepMs;
    time_ = time_.addSeconds(total / 1000);
    ms_ = total % 1000;
    sequence_ = 0;
  }
  void write(std::string_view data) {
    ++sequence_;
    auto insert = program_.db.prepare(
        "insert into Events (Timestamp, Milliseconds, Sequence, Line, Data) values (?, ?, ?, ?, ?)");
    insert.bind(1, time_.toStored()).bind(2, ms_).bind(3, sequence_).bind(4, line_).bind(5, data).run();
  }

  Program& program_;
  int line_;
  DateTime time_;
  int ms_ = 0;
  int sequence_ = 0;
};

// "Received " and n digits (never starting "812").
inline std::string received(int n) {
  std::string digits;
  for (int i = 0; i < n; ++i) digits += static_cast<char>('0' + (i + 5) % 10);
  return "Received " + digits;
}

// A call module with its statements prepared, as processCalls leaves it;
// every save of its rows checks their invariants.
inline void prepareModule(CallModule& module) {
  module.records.prepare(module.program.db);
  module.records.checkEverySave(true);
  module.events.prepare(module.program.db);
  module.walks.prepare(module.program.db);
}

// Opens the cursor on all events of `line` and stands on the first.
inline void openLine(CallModule& module, int line) {
  module.events.open(line, DateTime(1900, 1, 1));
  module.events.moveNext();
}

}  // namespace travik::test

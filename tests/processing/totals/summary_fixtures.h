// Shared arrangements of the summary tests: calls rows written straight into
// the program database and the activity log read back.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "processing/runtime/activity_log.h"
#include "tests/support/test_program.h"

namespace travik::test {

// One calls row as call reconstruction leaves it; an open call has no exit code, end or duration.
struct CallRow {
  int line = 1;
  std::string node = "Unknown";  // octelserialnumber
  std::optional<std::string> exitCode = "OK";
  std::optional<std::string> end = "2024-03-10 09:00:00";
  std::optional<int> duration = 60;
  std::array<int, 11> counters{};  // the eleven per-call counters in their order
  bool ignoreError = false;        // ignoreErrorForIntervalCalculation
};

inline CallRow failedCall(int line, const std::string& node, const std::string& end = "2024-03-10 09:00:00") {
  return CallRow{.line = line, .node = node, .exitCode = "E00120003", .end = end};
}
inline CallRow openCall(int line, const std::string& node) {
  return CallRow{.line = line, .node = node, .exitCode = {}, .end = {}, .duration = {}};
}

inline void insertCalls(Program& program, const std::vector<CallRow>& calls) {
  auto insert = program.db.prepare(
      "insert into calls (callid, line, octelserialnumber, exitcode, timestampend, durationInSeconds,"
      " ignoreErrorForIntervalCalculation, msgsendattempt, msgsendsuccess, msgreceiveattempt, msgreceivesuccess,"
      " numberrecipientssent, adminnamesrequested, textnamesreceived, voicenamesreceived, adminnamerequestsrecd,"
      " textnamessent, voicenamessent) values ('id', ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14,"
      " ?15, ?16, ?17)");
  for (const CallRow& call : calls) {
    insert.bind(1, call.line).bind(2, call.node).bind(3, call.exitCode).bind(4, call.end).bind(5, call.duration);
    insert.bind(6, call.ignoreError);
    for (int i = 0; i < 11; ++i) insert.bind(7 + i, call.counters[static_cast<std::size_t>(i)]);
    insert.run();
  }
}

inline std::string activityLogText(TestProgram& t) {
  flushActivityLog(*t);
  return readFile(t->activityLog.fileName);
}

inline int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

}  // namespace travik::test

// Shared arrangements of the summary tests: calls rows written straight into
// the program database, the activity log read back, a fixed clock.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "processing/activity_log.h"
#include "tests/support/test_program.h"

namespace travik::test {

// One calls row as call reconstruction leaves it.
struct CallRow {
  int line = 1;
  std::string node = "Unknown";                // octelserialnumber
  std::optional<std::string> exitCode = "OK";  // none while the call is open
  std::optional<std::string> end = "2024-03-10 09:00:00";
  std::optional<int> duration = 60;
  std::array<int, 11> counters{};  // the eleven per-call counters in their order
  bool ignoreError = false;        // ignoreErrorForIntervalCalculation
};

inline CallRow openCall(int line, const std::string& node = "Unknown") {
  CallRow call;
  call.line = line;
  call.node = node;
  call.exitCode.reset();
  call.end.reset();
  call.duration.reset();
  return call;
}

inline CallRow failedCall(int line, const std::string& node = "Unknown",
                          const std::string& end = "2024-03-10 09:00:00") {
  CallRow call;
  call.line = line;
  call.node = node;
  call.exitCode = "E00120003";
  call.end = end;
  return call;
}

inline void insertCalls(Program& program, const std::vector<CallRow>& calls) {
  auto insert = program.db.prepare(
      "insert into calls (timestampbegin, timestampend, callid, line, durationInSeconds, exitcode, octelserialnumber,"
      " corvaneserialnumber, msgsendattempt, msgsendsuccess, msgreceiveattempt, msgreceivesuccess,"
      " numberrecipientssent, adminnamesrequested, textnamesreceived, voicenamesreceived, adminnamerequestsrecd,"
      " textnamessent, voicenamessent, ignoreErrorForIntervalCalculation)"
      " values ('2024-03-10 08:00:00', ?1, ?2, ?3, ?4, ?5, ?6, 'Unknown', ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15,"
      " ?16, ?17, ?18)");
  int id = 0;
  for (const CallRow& call : calls) {
    insert.bind(1, call.end).bind(2, "call." + std::to_string(++id)).bind(3, call.line);
    insert.bind(4, call.duration).bind(5, call.exitCode).bind(6, call.node);
    for (int i = 0; i < 11; ++i) insert.bind(7 + i, call.counters[static_cast<std::size_t>(i)]);
    insert.bind(18, call.ignoreError);
    insert.run();
  }
}

// Everything the activity log holds so far.
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

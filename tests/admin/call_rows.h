// Rows of the call database written straight into its tables, as call
// reconstruction and the summary run leave them, for tests of the console's
// grids and windows.
#pragma once

#include <optional>
#include <string>

#include "processing/calls/call_ids.h"
#include "processing/runtime/program.h"
#include "processing/text/date_time.h"

namespace travik::test {

struct CallRow {
  DateTime begin;
  std::optional<DateTime> end;  // none while the call is open
  int line = 1;
  std::string exitCode = "OK";
  std::string octelSerial = "Unknown";
  bool inbound = true;
};

// Stores the call and returns its call id (keyed by its begin, millisecond 0, sequence 1).
inline std::string insertCall(Program& program, const CallRow& call) {
  const std::string callId = callKey(call.begin, 0, 1, call.line);
  auto insert = program.db.prepare(
      "insert into calls (timestampbegin, timestampend, callid, inbound, line, durationInSeconds, exitcode, "
      "corvaneserialnumber, octelserialnumber, protocollevel, msgsendattempt) values (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
      "'Unknown', ?8, '2', 0)");
  insert.bind(1, call.begin.toStored());
  if (call.end) {
    insert.bind(2, call.end->toStored()).bind(6, static_cast<std::int64_t>(call.begin.secondsUntil(*call.end)));
    insert.bind(7, call.exitCode);
  } else {
    insert.bindNull(2).bindNull(6).bindNull(7);
  }
  insert.bind(3, callId).bind(4, call.inbound).bind(5, call.line).bind(8, call.octelSerial).run();
  return callId;
}

inline void insertError(Program& program, const std::string& callId, const DateTime& time,
                        const std::string& exitCode = "E0010.0002") {
  auto insert = program.db.prepare(
      "insert into errors (callid, timestamperror, state, statetext, reason, reasontext, exitcode) values (?1, ?2, 10, "
      "'WaitForInit', 2, 'Timeout', ?3)");
  insert.bind(1, callId).bind(2, time.toStored()).bind(3, exitCode).run();
}

inline void insertTask(Program& program, const std::string& callId, const std::string& taskId, const DateTime& begin,
                       const std::string& sender = "1234") {
  auto insert = program.db.prepare(
      "insert into tasks (timestampbegin, timestampend, callid, taskid, tasktype, durationInSeconds, sender) values "
      "(?1, ?1, ?2, ?3, 'Voice Message', 0, ?4)");
  insert.bind(1, begin.toStored()).bind(2, callId).bind(3, taskId).bind(4, sender).run();
}

inline void insertRecipient(Program& program, const std::string& callId, const std::string& taskId,
                            const std::string& recipient, const std::string& info = "") {
  auto insert = program.db.prepare(
      "insert into recipients (callid, taskid, recipient, octelserialnumber, corvaneserialnumber, rejected, "
      "recipientinfo) values (?1, ?2, ?3, '100', '200', ?4, ?5)");
  insert.bind(1, callId).bind(2, taskId).bind(3, recipient).bind(4, !info.empty()).bind(5, info).run();
}

inline void insertEvent(Program& program, const DateTime& time, int milliseconds, int sequence, int line,
                        const std::string& data) {
  auto insert = program.db.prepare(
      "insert into Events (Timestamp, Milliseconds, Sequence, Line, Data) values (?1, ?2, ?3, ?4, ?5)");
  insert.bind(1, time.toStored()).bind(2, milliseconds).bind(3, sequence).bind(4, line).bind(5, data).run();
}

}  // namespace travik::test

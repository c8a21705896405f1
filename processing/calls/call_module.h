// The shared state of the call reconstruction.
//
// The line walk, the record writers and both call machines work on one
// CallModule for the length of a processing run: the event cursor over the
// current line, the current call, task and recipient rows, and the handful of
// variables they pass between each other.  One thread, no locking.
//
// What a call machine works with, and where it is declared:
//   call_machine.h         the frame both machines run in, Failure, abandon,
//                          abandonTask, digitCountCheck, splitDigits
//   event_cursor.h         nextEvent, getAdditionalDtmf, checkForAdditionalDtmf,
//                          decryptOk; plain one-row moves are
//                          module.events.moveNext() / movePrevious()
//   event_classification.h classifyEvent and the event_code names,
//                          setOctelResponseString, containsIgnoringCase, textLength
//   call_records.h         the record writers (callEnd, callEndNoMessages,
//                          callAbend, startTask, endTask, addRecipient,
//                          incompleteMessageRecipient, incompleteRecipientNameInfo,
//                          sendMsg, couldNotSend, startInboundAdminTask,
//                          clearCallStats) and the rows: module.records.call(),
//                          .task(procedure), .recipient(procedure) (assign
//                          fields; the writers save), read through
//                          .currentCall(), .currentTask() ...
//   failure_codes.h        Stage and Reason, passed to callAbend
//   this file              the module variables, determineDatatype, split,
//                          splitAtQuote, eventWord, guardCall, reportCallError
//
// Errors: every procedure reports a failing step with the error report line
// under its own name (a machine state under the state's name, without "()")
// and goes on with its next step.  Reports go through reportCallError().
// Reporting may show a message box or yield; the walk's host (walk_host.h)
// closes the line's write transaction around either.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db.h"
#include "processing/calls/call_records.h"
#include "processing/calls/event_classification.h"
#include "processing/calls/event_cursor.h"
#include "processing/calls/line_walk.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/handled_error.h"
#include "processing/runtime/program.h"

namespace travik {

inline constexpr const char* kUnknownSerial = "Unknown";

struct CallModule {
  // Writes to an absent task or recipient are reported as the walk's errors.
  explicit CallModule(Program& program);
  CallModule(const CallModule&) = delete;
  CallModule& operator=(const CallModule&) = delete;

  Program& program;
  // The current line's new events; current() is the current event.
  EventCursor events;
  // The call being rebuilt, its task and recipient rows, and their statements.
  CallRecords records;
  // Where the walk stands on each line.
  LineWalkTable walks;
  // The line's write transaction while one is open.
  std::optional<db::Transaction> transaction;
  // A failure of that transaction at a pause (walk_host.h), for the report under way.
  std::optional<HandledError> pauseFailure;

  // Event code of the text classified last (determineDatatype is its only writer).
  int dataType = event_code::kUnrecognised;
  // The text of the event the cursor stood on before the last nextEvent;
  // callAbend stores it with the error.
  std::string previousStateData;
  // Words of one event's text, split at every single blank (two blanks give an empty word).
  std::vector<std::string> eventWords;
  // One word split at "@"; element 0 is the mailbox.
  std::vector<std::string> mailboxParts;
  // Serials the line walk picked from an outbound call's opening event.
  std::string pendingOctelSerial = kUnknownSerial;
  std::string pendingCorvaneSerial = kUnknownSerial;
  // Outcome text the next recipient row takes (the outbound machine sets it).
  std::string pendingRecipientInfo;
  // The last look ahead of the event cursor found the end of the stored events.
  bool lookAheadRanOut = false;
  // The line's rows could not be committed: nothing more of the line is
  // written in this run, and the next run walks it again.
  bool lineAbandoned = false;
  // Part of the line was committed before an error report (and may have to
  // be taken back when the line is abandoned).
  bool linePartCommitted = false;
};

// Classifies `data` into module.dataType.
inline void determineDatatype(CallModule& module, std::string_view data) {
  module.dataType = module.events.classify(data);
}

// The text of the current event ("" when the cursor is off the rows).
std::string_view currentData(const CallModule& module);

// Opens the line's write transaction; commits it (and on failure rolls it back).
void beginLineTransaction(CallModule& module);
void commitLineTransaction(CallModule& module);
// Gives the line up for this run: its transaction rolls back, the cursor goes
// to eof (so the machine leaves at its next event) and no row is written any more.
void abandonLine(CallModule& module);

// Reports one handled error of `procedure` (error report line, count).  After
// a failed write the line is abandoned first: written one statement at a time
// it would be left half-made.  A failure of the line's transaction while the
// report paused is reported after it, under the same procedure.  Nothing is
// reported for an abandoned line: the next run walks it again and reports
// what it finds.
void reportCallError(CallModule& module, const HandledError& error, std::string_view procedure);

// Runs one step of `procedure`; a failure is reported and false returned.
template <class Step>
bool guardCall(CallModule& module, std::string_view procedure, Step&& step) {
  return guardWith(std::forward<Step>(step),
                   [&](const HandledError& error) { reportCallError(module, error, procedure); });
}

// Splits `text` at every `separator` into `words`, reusing their storage.
void splitInto(std::vector<std::string>& words, std::string_view text, char separator);

// eventWords := the current event's text split at single blanks.
void split(CallModule& module);
// eventWords := the current event's text split at the double quote; element 1
// is then the first quoted name.
void splitAtQuote(CallModule& module);
// Word `index` of eventWords.  A missing word is one handled error of
// `procedure` ("Subscript out of range") and reads as "".
const std::string& eventWord(CallModule& module, std::size_t index, std::string_view procedure);
// Word `index` of eventWords; a missing word is reported as by eventWord and
// nullptr returned, so the column write that needed it is skipped and the
// column keeps what it held.
const std::string* wordAt(CallModule& module, std::size_t index, std::string_view procedure);

}  // namespace travik

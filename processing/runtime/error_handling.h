// The error seam of the processing code.
//
// Every procedure reports a failing step with the error report line, counts
// it and goes on with its next step.  guardWith() is the one place that
// catches: it runs a step, turns a failure into a HandledError (the table in
// handled_error.h) and hands it to a report policy.  Two things pass through
// every guard: the program's end (ProgramEnded, and the StopRequested that
// is one), and a programming error of our own code when the process says so
// (the test programs: counted as a handled error, the fault would go
// unnoticed).  The other forms are report policies on it:
//   guard()             reports with one of the system's handlers;
//   guardedCondition()  the same, and a test that fails counts as held (the
//                       statement after a failing test is the first of its action);
//   guardCall()         the line walk's report (call_module.h);
//   ignoreFailure       a failure that is tried again or given up quietly.
// Whether a write transaction may stay open while a report shows a box or
// yields is no concern of the reports: the call walk's host (walk_host.h)
// closes it around every yield, pause and box, and elsewhere the program's
// host refuses one under a write transaction (pause_rule.h).
#pragma once

#include <string_view>
#include <utility>

#include "processing/runtime/handled_error.h"
#include "processing/runtime/program.h"

namespace travik {

enum class ErrorHandler {
  Standard,      // message box (console), time-stamped log line, count
  BoxAndCount,   // message box (console), count; no log line (the output-folder check)
  LogAndCount,   // time-stamped log line, count; never a box
  CountOnly,     // count alone (the activity log's own procedures)
  ServiceTimer,  // event 4 with the line, log line, count (the service's timers)
  Silent,        // ignored (closing procedures)
};

// Runs one step; a failure goes to `report` as a HandledError and false is
// returned.  The program's end and, where they escape, programming errors
// pass through.
template <class Step, class Report>
bool guardWith(Step&& step, Report&& report) {
  try {
    step();
    return true;
  } catch (const ProgramEnded&) {
    throw;
  } catch (...) {
    report(currentHandledError());
    return false;
  }
}

// The report policy of a failure that is given up without a word.
inline constexpr auto ignoreFailure = [](const HandledError&) {};

// Reports one handled error in the way of the handler.
void handleError(Program& program, const HandledError& error, std::string_view procedure,
                 ErrorHandler handler = ErrorHandler::Standard);

// Runs one step; a failure is handled and false is returned.
template <class Step>
bool guard(Program& program, std::string_view procedure, Step&& step, ErrorHandler handler = ErrorHandler::Standard) {
  return guardWith(std::forward<Step>(step),
                   [&](const HandledError& error) { handleError(program, error, procedure, handler); });
}

// Evaluates a test; when the test itself fails, the failure is handled and the
// test counts as held.
template <class Condition>
bool guardedCondition(Program& program, std::string_view procedure, Condition&& condition,
                      ErrorHandler handler = ErrorHandler::Standard) {
  bool result = true;
  guard(
      program, procedure, [&] { result = condition(); }, handler);
  return result;
}

}  // namespace travik

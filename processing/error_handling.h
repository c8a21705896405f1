// The error handlers of the processing code and the guards that apply them.
//
// Every procedure reports a failing step with the error report line, counts it
// and goes on with its next step.  A step is wrapped in guard(); a condition
// in guardedCondition(), where a failing condition counts as held (the
// statement after a failing test is the first of its action).
#pragma once

#include <string_view>

#include "processing/handled_error.h"
#include "processing/program.h"

namespace travik {

enum class ErrorHandler {
  Standard,      // message box (console), time-stamped log line, count
  BoxAndCount,   // message box (console), count; no log line (the output-folder check)
  LogAndCount,   // time-stamped log line, count; never a box
  CountOnly,     // count alone (the activity log's own procedures)
  ServiceTimer,  // event 4 with the line, log line, count (the service's timers)
  Silent,        // ignored (closing procedures)
};

// Reports one handled error in the way of the handler.
void handleError(Program& program, const HandledError& error, std::string_view procedure,
                 ErrorHandler handler = ErrorHandler::Standard);

// Runs one step; a failure is handled and false is returned.
template <class Step>
bool guard(Program& program, std::string_view procedure, Step&& step, ErrorHandler handler = ErrorHandler::Standard) {
  try {
    step();
    return true;
  } catch (const ProgramEnded&) {
    throw;
  } catch (...) {
    handleError(program, currentHandledError(), procedure, handler);
    return false;
  }
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

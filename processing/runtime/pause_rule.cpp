#include "processing/runtime/pause_rule.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "processing/runtime/activity_log.h"
#include "processing/runtime/handled_error.h"
#include "processing/runtime/program.h"

namespace travik {

namespace {

std::string_view pauseName(Pause pause) {
  switch (pause) {
    case Pause::Yield: return "yield";
    case Pause::Sleep: return "sleep";
    case Pause::MessageBox: return "message box";
  }
  return "pause";
}

}  // namespace

std::string pauseRuleBreach(Pause pause, const std::source_location* caller) {
  std::string text = "A write transaction of the program database was open across a ";
  text += pauseName(pause);
  if (caller) {
    const std::string_view file = caller->file_name();
    text += " asked for in ";
    text += caller->function_name();
    text += " (";
    text += file.substr(file.find_last_of('/') + 1);
    text += ':';
    text += std::to_string(caller->line());
    text += ')';
  }
  return text;
}

void enforcePauseRule(Program& program, Pause pause, const std::source_location* caller) {
  if (!program.db.inWriteTransaction() || program.reportingPauseBreach) return;
  const std::string breach = pauseRuleBreach(pause, caller);
  if (programmingErrorsEscape()) throw std::logic_error(breach);
#ifndef NDEBUG
  std::fprintf(stderr, "%s\n", breach.c_str());
  std::abort();
#else
  // The line's own yield comes back here while the transaction is still open.
  struct Reporting {
    explicit Reporting(bool& flag) : flag(flag) { flag = true; }
    ~Reporting() { flag = false; }
    bool& flag;
  } reporting(program.reportingPauseBreach);
  writeLog(program, breach, true);
#endif
}

}  // namespace travik

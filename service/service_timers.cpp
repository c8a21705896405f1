#include "service/service_timers.h"

#include "processing/gateway/test_calls.h"
#include "processing/run/process_logs.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/error_handling.h"

namespace travik {

namespace {

// The minute of the next-run arithmetic, in units of 10 ns: 0.000694444 day
// is exactly 59.9999616 s, so one second of interval is 0.99999936 s.
constexpr std::int64_t kUnitsPerSecond = 100000000;
constexpr std::int64_t kUnitsPerIntervalSecond = 99999936;
constexpr std::int64_t kUnitsPerIntervalMinuteBeyond59s = 99996160;  // 59.9999616 s - 59 s

std::int64_t ceilingDivide(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t quotient = numerator / denominator;
  if (numerator % denominator > 0) ++quotient;
  return quotient;
}

// The due time a delay after now; outside the years 100 to 9999 it cannot be
// held, as the original's date type could not.
DateTime dueAfter(const DateTime& now, std::int64_t delaySeconds) {
  const DateTime due = now.addSeconds(delaySeconds);
  if (due.year() < 100 || due.year() > 9999) throw HandledError(error_number::kOverflow, "Overflow");
  return due;
}

}  // namespace

std::int64_t processIntervalDelaySeconds(std::int32_t processIntervalSeconds) {
  return ceilingDivide(std::int64_t{processIntervalSeconds} * kUnitsPerIntervalSecond, kUnitsPerSecond);
}

std::int64_t testCallIntervalDelaySeconds(std::int32_t testCallIntervalMinutes) {
  // Minutes times 59 s is whole; only the remaining 0.9999616 s per minute needs rounding.
  const std::int64_t minutes = testCallIntervalMinutes;
  return minutes * 59 + ceilingDivide(minutes * kUnitsPerIntervalMinuteBeyond59s, kUnitsPerSecond);
}

void tmrTimer_Timer(Program& program, CycleTimes& times) {
  constexpr const char* kProcedure = "tmrTimer_Timer";
  const auto step = [&](auto&& body) { guard(program, kProcedure, body, ErrorHandler::ServiceTimer); };
  const auto test = [&](auto&& condition) {
    return guardedCondition(program, kProcedure, condition, ErrorHandler::ServiceTimer);
  };

  if (times.nextProcessTime > program.host.now()) return;
  step([&] {
    writeLog(program,
             "Wait between automatic call data processing intervals has elapsed.  Automatic processing initiated.",
             true);
  });
  step([&] { getApplicationParameter(program); });
  if (test([&] { return adminRunningMarkHolds(program); })) {
    step([&] {
      writeLog(program,
               "TRAVIK Administration application is running.  This automatic call data processing cycle will be "
               "skipped.",
               true);
    });
  } else if (!test([&] { return !validateLogPath(program); }) && !test([&] { return !validateOutputPath(program); })) {
    step([&] { processLogs(program); });
  }
  step([&] {
    times.nextProcessTime =
        dueAfter(program.host.now(), processIntervalDelaySeconds(program.settings.processIntervalSeconds));
  });
}

void tmrTestCalls_Timer(Program& program, CycleTimes& times) {
  constexpr const char* kProcedure = "tmrTestCalls_Timer";
  const auto step = [&](auto&& body) { guard(program, kProcedure, body, ErrorHandler::ServiceTimer); };
  const auto test = [&](auto&& condition) {
    return guardedCondition(program, kProcedure, condition, ErrorHandler::ServiceTimer);
  };

  if (times.nextTestCallTime > program.host.now()) return;
  step([&] { getApplicationParameter(program); });
  if (!test([&] { return !program.settings.autoTest; }) && !test([&] { return !validateOutputPath(program); })) {
    step([&] {
      writeLog(program,
               "Wait between automatic test call generation has elapsed.  Next series of test calls has been "
               "initiated.",
               true);
    });
    step([&] { scheduleTestCalls(program); });
  }
  step([&] {
    times.nextTestCallTime =
        dueAfter(program.host.now(), testCallIntervalDelaySeconds(program.settings.testCallIntervalMinutes));
  });
}

void tmrLogFlushTimer_Timer(Program& program) { flushActivityLog(program); }

}  // namespace travik

// frmTimer and frmLogFlushTimer of the service: the two cycles and the flush.
//
// Both cycle timers tick every 15 seconds for the life of the service.  A tick
// whose cycle is not due costs one comparison and writes nothing.  A due tick
// re-reads the settings, runs its cycle or reports why it cannot, and then
// moves its due time one full interval on from the moment the work ended, so
// an interval counts from the end of one cycle to the start of the next.
#pragma once

#include <cstdint>

#include "processing/runtime/program.h"
#include "processing/text/date_time.h"

namespace travik {

inline constexpr int kCycleTimerIntervalMs = 15000;  // tmrTimer and tmrTestCalls
inline constexpr int kLogFlushIntervalMs = 60000;    // tmrLogFlushTimer

// When each cycle is next due; each is moved only by its own timer's tick.
struct CycleTimes {
  DateTime nextProcessTime;
  DateTime nextTestCallTime;
};

// The processing timer's tick: one processing run when due and allowed.
void tmrTimer_Timer(Program& program, CycleTimes& times);
// The test-call timer's tick: a series of test calls when due and switched on.
void tmrTestCalls_Timer(Program& program, CycleTimes& times);
// The flush timer's tick: the activity log reaches the disk.
void tmrLogFlushTimer_Timer(Program& program);

// Whole seconds from the end of a due tick to the next due tick.  The system
// counts a minute as 0.000694444 day (59.9999616 s), so an interval is a
// little shorter than its nominal length; the clock reads whole seconds, so a
// due time that falls between two seconds is reached at the later one.
std::int64_t processIntervalDelaySeconds(std::int32_t processIntervalSeconds);
std::int64_t testCallIntervalDelaySeconds(std::int32_t testCallIntervalMinutes);

}  // namespace travik

// The event log of both programs: source registration and numbered entries.
#pragma once

#include <string>
#include <string_view>

#include "platform/instance_lock.h"
#include "processing/runtime/program.h"

namespace travik {

// Event ids the system writes.
namespace event_id {
constexpr int kServiceStarted = 1;
constexpr int kServiceStopped = 2;
constexpr int kServiceTimerError = 4;
constexpr int kNodeWarningThreshold = 6;
constexpr int kNodeErrorThreshold = 7;
constexpr int kNoNewTraceFiles = 16;
constexpr int kOutputFolderMissing = 17;
constexpr int kTooManyHandledErrors = 18;
constexpr int kDatabaseMissing = 19;
constexpr int kTraceLevelRaised = 20;
constexpr int kTraceLevelRaiseFailed = 21;
constexpr int kTraceLevelRaiseSucceeded = 22;
}  // namespace event_id

// The message text of an id (our message file); empty for an unknown id.
std::string eventMessageText(int eventId);

// Registers the source: "TRAVIK Admin" in the console, "TRAVIK Service" in the service.
void startEventLog(Program& program);
// Releases the source; errors are ignored.
void stopEventLog(Program& program);
// Writes one entry of kind 1 (information), 2 (warning) or 3 (error); other kinds write nothing.
void myEventLog(Program& program, int eventId, int kind, std::string_view message);
// Names what the lock's last take replaced, if anything, on standard error
// and as event 4 (a warning): an operator learns that another account put
// something at the lock's name.
void sayLockReplaced(Program& program, const platform::InstanceLock& lock);

}  // namespace travik

// Synthetic analog calls: the trace events of one call and what call
// reconstruction must make of them.
//
// A scenario writes a call event by event through a CallBuilder and, beside
// each event, notes its effect on the call record the way the inbound and
// outbound call machines take it: counters, tasks, recipients, serial
// numbers, the exit code and, for a failed call, the error row.  The events
// of one gateway line are strictly increasing in time and land on the line's
// millisecond slot (time modulo 100 ms).  Each line has its own slot unless
// the lines are asked to share one: then events of different lines can carry
// the same stamp to the millisecond; otherwise no two events of the whole
// trace do and every stored event gets sequence 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/traffic_random.h"

namespace travik::traffic {

// Milliseconds since 1970-01-01 00:00:00 of the civil calendar (no zone).
using Millis = std::int64_t;

// The first moment at or after t on a millisecond slot: time modulo 100 ms
// equal to slot modulo 100.  A line's own slot is its number.
Millis slotAtOrAfter(Millis t, int slot);

// What call reconstruction must write for one generated call.  Field names
// follow the columns of `calls`; the last group counts rows of the other tables.
struct ExpectedCall {
  int line = 0;
  bool inbound = false;
  Millis begin = 0;  // time of the event that opens the call
  Millis end = 0;    // time of the event at which the call ends
  std::string exitcode;
  std::string scenario;  // the generator's name for the kind of call
  std::string octelserialnumber = "Unknown";
  std::string corvaneserialnumber = "Unknown";
  std::string protocollevel;  // empty: never set
  int msgsendattempt = 0;
  int msgsendsuccess = 0;
  int msgreceiveattempt = 0;
  int msgreceivesuccess = 0;
  int numberrecipientssent = 0;
  int adminnamesrequested = 0;
  int textnamesreceived = 0;
  int voicenamesreceived = 0;
  int adminnamerequestsrecd = 0;
  int textnamessent = 0;
  int voicenamessent = 0;
  int tasks = 0;               // rows of `tasks`
  int incompleteTasks = 0;     // of them, ended with " [Incomplete]"
  int faxTasks = 0;            // of them, with `fax` set
  int recipients = 0;          // rows of `recipients`
  int rejectedRecipients = 0;  // of them, with `rejected` set
  int errorState = 0;          // errors row of a failed call
  int errorReason = 0;
  std::string expectedDigits;
  std::string receivedDigits;
  int expectedCount = 0;
  int receivedCount = 0;

  bool failed() const { return !exitcode.empty() && exitcode[0] == 'E'; }
  // The call key of the opening event (sequence 1).
  std::string callid() const;
  std::int64_t durationInSeconds() const { return end / 1000 - begin / 1000; }
};

// "E" with the stage and the reason, each padded to four digits.
std::string failureCode(int stage, int reason);

// One trace event as planned: its time, its text (UTF-8) and whether it opens a call.
struct PlannedEvent {
  Millis time = 0;
  std::string text;
  int opensCall = -1;  // index into the chunk's calls
  bool tight = false;  // the machines look at the next event of the line from here
};

// A stretch of one line's trace: the idle noise before it, then one call
// (or two, where one call's end is the next one's cause).
struct Chunk {
  std::vector<PlannedEvent> events;
  std::vector<ExpectedCall> calls;
};

// The gateway's fixed cast: its own serial number and its Octel nodes.
struct Gateway {
  std::string corvaneSerial;
  std::vector<std::string> octelNodes;

  static Gateway make(std::uint64_t seed);
};

// Writes the events of one chunk and keeps the expected record of the call
// being built.  Delays are in milliseconds; every event lands on the given
// millisecond slot and strictly after the one before.
class CallBuilder {
 public:
  CallBuilder(Random& random, const Gateway& gateway, int line, int slot, Chunk& chunk, Millis time);

  // The first event of a call, at the builder's current time.
  ExpectedCall& open(const std::string& text, bool inbound, const std::string& scenario);
  // A further event after a delay drawn from [minDelay, maxDelay].
  void emit(const std::string& text, int minDelay = 150, int maxDelay = 900);
  // An event whose successor the machines look at (a digit string, the
  // wake-up tone seen only through what follows it): nothing unrelated
  // follows it, and no trace file ends after it.
  void emitTight(const std::string& text, int minDelay = 150, int maxDelay = 900);
  // "Received " and count digits: a DTMF string from the far side.
  void received(int count) { emitTight("Received " + random.digits(count)); }
  // "Playing " and count digits: a DTMF string the gateway plays.
  void played(int count) { emitTight("Playing " + random.digits(count)); }
  // Moves the clock into a later second than the last event, after a pause.
  void nextSecond(int minDelay = 1000, int maxDelay = 4000);

  ExpectedCall& call() { return chunk_.calls.back(); }
  Millis now() const { return time_; }

  // The call ends at the last event the scenario wrote (not at a line notice
  // after it) with "OK" / "OK (NO INIT)".
  void endOk();
  void endNoInit();
  // The call is abandoned at the last event the scenario wrote.
  void abandon(int stage, int reason, const std::string& expectedDigits = "", const std::string& receivedDigits = "",
               int expectedCount = 0, int receivedCount = 0);

  // Moves the end to the last line of the trace so far, notice or not: a
  // call ended by the next call's dial result ends at the line before it.
  void endAtLastLine();

  std::string mailbox() { return std::to_string(random.between(1000, 9899)); }
  std::string personName();
  const std::string& node() { return random.pick(gateway.octelNodes); }

  Random& random;
  const Gateway& gateway;
  const int line;
  const int slot;

 private:
  void place(const std::string& text, int minDelay, int maxDelay, bool tight);

  Chunk& chunk_;
  Millis time_;       // the last line written, notices included
  Millis eventTime_;  // the last event the scenario wrote
  bool started_ = false;
};

// Steps both call directions share.
// A person's name in double quotes, as the gateway writes it.
std::string quotedName(CallBuilder& b);
// The "Protocol Level = n" line most line syncs bring.
void protocolLevel(CallBuilder& b);
// A call that ends while a task is open ends the task incomplete.
void taskCutOff(CallBuilder& b);

// Builds the next chunk's calls on a builder whose clock stands at the
// opening moment.  failurePercent is the share of calls built to fail.
void buildCalls(CallBuilder& builder, int failurePercent);

// Scenario families, one file each.
void buildInboundCall(CallBuilder& builder);
void buildOutboundCall(CallBuilder& builder);
void buildFailingInboundCall(CallBuilder& builder);
void buildFailingOutboundCall(CallBuilder& builder);

// Texts of the events the gateway writes between calls (line monitor, port
// and alert notices); the call machines pass over them.
const std::vector<std::string>& idleNoiseTexts();

}  // namespace travik::traffic

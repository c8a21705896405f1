#include "bench/traffic_calls.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "processing/text/date_time.h"

namespace travik::traffic {

namespace {

// Share of protocol events followed by a line-monitor or alert notice.
constexpr double kInCallNoiseShare = 0.02;

const std::vector<std::string> kInCallNoiseTexts{"Alert Status: 0", "PlayEvent signaled"};

// Names as the gateway stores them; the accented ones reach the trace in the
// gateway's single-byte code page.
const std::vector<std::string> kNames{
    "Alice Brown",     "Robert Chen",    "Maria Lopez",         "David Okafor", "Susan Miller", "James Walker",
    "Linda Park",      "Thomas Reed",    "Karen Hughes",        "Peter Novak",  "Nancy Ford",   "Jos\u00e9 Ortega",
    "Zo\u00eb Brandt", "Ren\u00e9e Fox", "Ana N\u00fa\u00f1ez", "Front Desk",   "Help Line",    "Night Operator"};

std::string pad(std::int64_t value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
  return text;
}

}  // namespace

std::string ExpectedCall::callid() const {
  const DateTime when = DateTime::fromSerialSeconds(begin / 1000);
  return when.toMMDDYYYY() + "." + when.toHHMMSS() + "." + pad(begin % 1000, 3) + ".001." + pad(line, 3);
}

Millis slotAtOrAfter(Millis t, int slot) { return t + ((slot - t % 100) % 100 + 100) % 100; }

std::string failureCode(int stage, int reason) { return "E" + pad(stage, 4) + pad(reason, 4); }

Gateway Gateway::make(std::uint64_t seed) {
  Random random(streamSeed(seed, 0));
  Gateway gateway;
  gateway.corvaneSerial = std::to_string(random.between(50000, 59999));
  // The same nodes whatever the number of lines, so that adding lines
  // leaves the traffic of the others as it was.
  constexpr int nodes = 12;
  std::set<std::string> taken;
  while (static_cast<int>(gateway.octelNodes.size()) < nodes) {
    // One node carries a leading zero, as some node serials do: a callout
    // opened by "Processing Pending Callout" reads it as a number.
    std::string serial = gateway.octelNodes.empty() ? "0" + std::to_string(random.between(1000, 9999))
                                                    : std::to_string(random.between(10000, 49999));
    if (taken.insert(serial).second) gateway.octelNodes.push_back(serial);
  }
  return gateway;
}

CallBuilder::CallBuilder(Random& random, const Gateway& gateway, int line, int slot, Chunk& chunk, Millis time)
    : random(random),
      gateway(gateway),
      line(line),
      slot(slot),
      chunk_(chunk),
      time_(slotAtOrAfter(time, slot)),
      eventTime_(time_) {}

void CallBuilder::place(const std::string& text, int minDelay, int maxDelay, bool tight) {
  if (started_) time_ = slotAtOrAfter(time_ + random.between(std::max(1, minDelay), std::max(1, maxDelay)), slot);
  started_ = true;
  chunk_.events.push_back({time_, text, -1, tight});
  eventTime_ = time_;
  if (!tight && random.chance(kInCallNoiseShare)) {
    time_ = slotAtOrAfter(time_ + random.between(20, 400), slot);
    chunk_.events.push_back({time_, random.pick(kInCallNoiseTexts), -1, false});
  }
}

ExpectedCall& CallBuilder::open(const std::string& text, bool inbound, const std::string& scenario) {
  ExpectedCall call;
  call.line = line;
  call.inbound = inbound;
  call.scenario = scenario;
  chunk_.calls.push_back(call);
  const std::size_t at = chunk_.events.size();
  place(text, 150, 900, false);
  chunk_.events[at].opensCall = static_cast<int>(chunk_.calls.size()) - 1;
  chunk_.calls.back().begin = chunk_.events[at].time;
  return chunk_.calls.back();
}

void CallBuilder::emit(const std::string& text, int minDelay, int maxDelay) { place(text, minDelay, maxDelay, false); }

void CallBuilder::emitTight(const std::string& text, int minDelay, int maxDelay) {
  place(text, minDelay, maxDelay, true);
}

void CallBuilder::endAtLastLine() { call().end = time_; }

void CallBuilder::nextSecond(int minDelay, int maxDelay) {
  const Millis target = std::max(time_ + random.between(minDelay, maxDelay), (time_ / 1000 + 1) * 1000);
  time_ = slotAtOrAfter(target, slot);
  started_ = false;  // the next event lands exactly here
}

void CallBuilder::endOk() {
  call().end = eventTime_;
  call().exitcode = "OK";
}

void CallBuilder::endNoInit() {
  call().end = eventTime_;
  call().exitcode = "OK (NO INIT)";
}

void CallBuilder::abandon(int stage, int reason, const std::string& expectedDigits, const std::string& receivedDigits,
                          int expectedCount, int receivedCount) {
  ExpectedCall& c = call();
  c.end = eventTime_;
  c.exitcode = failureCode(stage, reason);
  c.errorState = stage;
  c.errorReason = reason;
  c.expectedDigits = expectedDigits;
  c.receivedDigits = receivedDigits;
  c.expectedCount = expectedCount;
  c.receivedCount = receivedCount;
}

std::string CallBuilder::personName() { return random.pick(kNames); }

std::string quotedName(CallBuilder& b) { return "\"" + b.personName() + "\""; }

void protocolLevel(CallBuilder& b) {
  if (!b.random.chance(0.9)) return;
  const std::string level = b.random.chance(0.7) ? "3" : "2";
  b.emit("Protocol Level = " + level);
  b.call().protocollevel = level;
}

void taskCutOff(CallBuilder& b) { ++b.call().incompleteTasks; }

const std::vector<std::string>& idleNoiseTexts() {
  static const std::vector<std::string> texts{"LineMonitor thread is running", "Port is locked", "Alert Status: 0",
                                              "PlayEvent signaled", "Waiting for LineMonitor thread to terminate"};
  return texts;
}

void buildCalls(CallBuilder& builder, int failurePercent) {
  const bool fails = builder.random.below(100) < static_cast<std::uint64_t>(std::clamp(failurePercent, 0, 100));
  const bool inbound = builder.random.chance(0.5);
  if (fails) {
    inbound ? buildFailingInboundCall(builder) : buildFailingOutboundCall(builder);
  } else {
    inbound ? buildInboundCall(builder) : buildOutboundCall(builder);
  }
}

}  // namespace travik::traffic

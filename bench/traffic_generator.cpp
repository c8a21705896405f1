#include "bench/traffic_generator.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <queue>
#include <stdexcept>

#include "bench/traffic_growing_folder.h"
#include "bench/traffic_random.h"
#include "bench/traffic_summary.h"
#include "bench/traffic_trace_writer.h"
#include "platform/command_line.h"

namespace travik::traffic {

namespace fs = std::filesystem;

namespace {

// Mean time between two line-monitor notices of an idle line.
constexpr double kIdleNoticeMeanMs = 120000;
// Mean time between two gateway notices that belong to no line.
constexpr double kGatewayNoticeMeanMs = 600000;
// Share of calls that open in the second their line's previous call ended,
// when back-to-back calls are asked for.
constexpr double kBackToBackShare = 0.3;
// The one millisecond slot of every line when the lines share it; gateway
// notices use it too.
constexpr int kSharedSlot = 0;

const std::vector<std::string> kGatewayNotices{"Varnel trace heartbeat", "Analog call tracing level is Verbose",
                                               "Directory synchronisation complete"};

// One gateway line: its calls, chunk by chunk, with the idle notices between.
class LineStream {
 public:
  LineStream(const TrafficOptions& options, const Gateway& gateway, int line, Millis start, Millis end)
      : options_(options),
        gateway_(gateway),
        line_(line),
        slot_(options.sharedMilliseconds ? kSharedSlot : line),
        random_(streamSeed(options.seed, static_cast<std::uint64_t>(line))),
        end_(end),
        last_(start - 1),
        arrival_(start) {
    refill();
  }

  bool done() const { return next_ >= chunk_.events.size(); }
  const PlannedEvent& current() const { return chunk_.events[next_]; }
  const ExpectedCall& callOpenedBy(const PlannedEvent& event) const { return chunk_.calls[event.opensCall]; }
  int line() const { return line_; }

  void advance() {
    if (++next_ >= chunk_.events.size()) refill();
  }

 private:
  void refill() {
    chunk_.events.clear();
    chunk_.calls.clear();
    next_ = 0;
    if (finished_) return;
    arrival_ += static_cast<Millis>(random_.exponential(3600000.0 / options_.callsPerHour));
    // A call opens at least one second after the previous one ended, or,
    // when asked for, now and then in that same second (the slot after the
    // previous event lies at most 99 ms later).
    Millis open = std::max(arrival_, (last_ / 1000 + 1) * 1000);
    if (options_.backToBackCalls && last_ % 1000 < 900 && random_.chance(kBackToBackShare)) open = last_ + 1;
    Millis t = last_;
    for (;;) {
      t = slotAtOrAfter(std::max(t + static_cast<Millis>(random_.exponential(kIdleNoticeMeanMs)), t + 1), slot_);
      if (t / 1000 >= open / 1000 || t > end_) break;
      chunk_.events.push_back({t, random_.pick(idleNoiseTexts()), -1, false});
    }
    CallBuilder builder(random_, gateway_, line_, slot_, chunk_, open);
    buildCalls(builder, options_.failurePercent);
    if (chunk_.events.back().time > end_) {
      // The span ends before this call would: keep only the idle notices.
      finished_ = true;
      chunk_.calls.clear();
      std::erase_if(chunk_.events, [&](const PlannedEvent& e) { return e.time >= open; });
      return;
    }
    last_ = chunk_.events.back().time;
  }

  const TrafficOptions& options_;
  const Gateway& gateway_;
  const int line_;
  const int slot_;  // the millisecond slot of its events
  Random random_;
  const Millis end_;
  Millis last_;     // the last event of the previous chunk
  Millis arrival_;  // the Poisson clock of call arrivals
  Chunk chunk_;
  std::size_t next_ = 0;
  bool finished_ = false;
};

std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The cases asked for beyond the default traffic, one line; none: nothing.
std::string hardCases(const TrafficOptions& options) {
  std::string cases;
  for (const auto& [on, name] : {std::pair{options.backToBackCalls, "back-to-back calls"},
                                 std::pair{options.sharedMilliseconds, "shared milliseconds"},
                                 std::pair{options.rollOverAnywhere, "roll-over anywhere"},
                                 std::pair{options.clockSetBackSeconds > 0, "clock set back"},
                                 std::pair{options.stampAheadHours > 0, "an event stamped ahead"}})
    if (on) cases += (cases.empty() ? "" : ", ") + std::string(name);
  return cases.empty() ? "" : "hard cases: " + cases + '\n';
}

void writeTotals(const fs::path& file, const TrafficOptions& options, const GenerationResult& result,
                 const SummaryWriter& summary) {
  std::ofstream out(file, std::ios::binary);
  auto stamp = [](Millis t) { return DateTime::fromSerialSeconds(t / 1000).toStored(); };
  auto tally = [](const CallTally& t) {
    return "calls " + std::to_string(t.calls) + ", failed " + std::to_string(t.failed) + ", inbound " +
           std::to_string(t.inbound) + ", outbound " + std::to_string(t.calls - t.inbound);
  };
  out << "seed: " << options.seed << '\n'
      << "lines: " << options.lines << '\n'
      << "hours: " << numberText(options.hours) << '\n'
      << "end: " << options.end.toStored() << '\n'
      << "calls per hour per line: " << numberText(options.callsPerHour) << '\n'
      << "max file bytes: " << options.maxFileBytes << '\n'
      << "failure percent: " << options.failurePercent << '\n'
      << hardCases(options) << "first event: " << (result.events ? stamp(result.firstEvent) : "") << '\n'
      << "last event: " << (result.events ? stamp(result.lastEvent) : "") << '\n'
      << "files: " << result.files.size() << '\n'
      << "trace lines: " << result.traceLines << '\n'
      << "events: " << result.events << '\n'
      << "all: " << tally(summary.total) << '\n';
  for (const auto& [line, t] : summary.perLine) out << "line " << line << ": " << tally(t) << '\n';
  for (const auto& [node, t] : summary.perNode) out << "node " << node << ": " << tally(t) << '\n';
  for (const auto& [code, t] : summary.perExitCode) out << "exit " << code << ": " << tally(t) << '\n';
  for (const auto& [scenario, t] : summary.perScenario) out << "scenario " << scenario << ": " << tally(t) << '\n';
  if (!out) throw std::runtime_error("cannot write the totals file " + file.string());
}

}  // namespace

std::string checkOptions(const TrafficOptions& o) {
  if (o.folder.empty()) return "--out is required";
  if (o.lines < 1 || o.lines > 99) return "--lines must be 1 to 99 (the gateway numbers its lines with two digits)";
  if (!(o.hours > 0) || o.hours > 24 * 366) return "--hours must be above 0 and at most a year";
  if (!(o.callsPerHour > 0) || o.callsPerHour > 3600) return "--calls-per-hour must be above 0 and at most 3600";
  if (o.maxFileBytes < 1) return "--max-file-bytes must be at least 1";
  if (o.failurePercent < 0 || o.failurePercent > 100) return "--failures must be 0 to 100";
  if (o.end.year() < 1971) return "--end must be a real moment";
  if (o.folderStates < 0 || o.folderStates > 999) return "--folder-states must be 0 to 999";
  if (o.clockSetBackSeconds < 0 || o.clockSetBackSeconds > 3600) return "--clock-set-back must be 0 to 3600 seconds";
  if (o.stampAheadHours < 0 || o.stampAheadHours > 23) return "--stamp-ahead must be 0 to 23 hours";
  return "";
}

GenerationResult generateTraffic(const TrafficOptions& options, const std::function<void(const TraceEvent&)>& onEvent) {
  if (const std::string problem = checkOptions(options); !problem.empty()) throw std::runtime_error(problem);
  std::error_code ec;
  fs::create_directories(options.folder, ec);
  if (!fs::is_directory(options.folder))
    throw std::runtime_error("cannot create the folder " + options.folder.string());
  for (const auto& entry : fs::directory_iterator(options.folder)) {
    std::string name = entry.path().filename().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    if (name.rfind("MVLOG.", 0) == 0)
      throw std::runtime_error(options.folder.string() + " already holds trace files; choose an empty folder");
  }

  GenerationResult result;
  result.summaryFile = options.summaryFile.empty() ? options.folder / "traffic-summary.csv" : options.summaryFile;
  result.totalsFile = result.summaryFile.parent_path() / "traffic-totals.txt";

  const Millis end = options.end.serialSeconds() * 1000;
  const Millis start = end - static_cast<Millis>(std::llround(options.hours * 3600000.0));
  const Gateway gateway = Gateway::make(options.seed);

  std::vector<LineStream> streams;
  streams.reserve(static_cast<std::size_t>(options.lines));
  for (int line = 1; line <= options.lines; ++line) streams.emplace_back(options, gateway, line, start, end);

  // Earliest event first; no two events share a time.
  using Entry = std::pair<Millis, std::size_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
  for (std::size_t i = 0; i < streams.size(); ++i)
    if (!streams[i].done()) queue.push({streams[i].current().time, i});

  // Gateway notices on their own clock (millisecond slot 0, which no line uses).
  Random noticeRandom(streamSeed(options.seed, 100));
  auto nextNotice = [&](Millis after) {
    return slotAtOrAfter(after + 1 + static_cast<Millis>(noticeRandom.exponential(kGatewayNoticeMeanMs)), 100);
  };
  Millis notice = nextNotice(start);

  TraceWriter writer(options.folder, options.maxFileBytes, options.rollOverAnywhere);
  SummaryWriter summary(result.summaryFile);
  // A file never ends while a line's last event is one whose successor the
  // machines look at: a run that stops at the end of any file then rebuilds
  // the same calls as a run over all of them.
  std::vector<char> lineWaits(streams.size(), 0);
  int waitingLines = 0;
  // The clock cases, each at a moment of its own stream: from setBackAt on
  // every line is stamped earlier; the first line event from aheadAt on is
  // stamped later than all around it.
  Random clockRandom(streamSeed(options.seed, 102));
  const Millis span = end - start;
  const Millis setBackAt = start + static_cast<Millis>(clockRandom.below(static_cast<std::uint64_t>(span) + 1));
  const Millis aheadAt = start + static_cast<Millis>(clockRandom.below(static_cast<std::uint64_t>(span) + 1));
  const Millis setBack = options.clockSetBackSeconds * Millis{1000};
  bool aheadWritten = options.stampAheadHours == 0;
  auto clockAt = [&](Millis time) { return setBack > 0 && time >= setBackAt ? -setBack : 0; };
  while (!queue.empty()) {
    const auto [time, index] = queue.top();
    queue.pop();
    while (notice < time) {
      writer.shiftStamps(clockAt(notice));
      writer.writeNotice(notice, noticeRandom.pick(kGatewayNotices), waitingLines == 0);
      notice = nextNotice(notice);
    }
    LineStream& stream = streams[index];
    const PlannedEvent& event = stream.current();
    Millis shift = clockAt(event.time);
    if (!aheadWritten && event.time >= aheadAt) {
      shift += options.stampAheadHours * Millis{3600000};
      aheadWritten = true;
    }
    writer.shiftStamps(shift);
    writer.writeEvent(event.time, stream.line(), event.text, waitingLines == 0);
    writer.shiftStamps(clockAt(event.time));
    if (event.tight != static_cast<bool>(lineWaits[index])) {
      waitingLines += event.tight ? 1 : -1;
      lineWaits[index] = event.tight;
    }
    if (onEvent) onEvent(TraceEvent{event.time, stream.line(), event.text});
    if (result.events == 0) result.firstEvent = event.time;
    result.lastEvent = event.time;
    ++result.events;
    if (event.opensCall >= 0) summary.add(stream.callOpenedBy(event));
    stream.advance();
    if (!stream.done()) queue.push({stream.current().time, index});
  }
  writer.finish();
  summary.close();

  result.files = writer.files();
  result.traceLines = writer.lines();
  if (options.folderStates > 0)
    result.stateFolders =
        writeFolderStates(GrowingFolder(result.files), options.folder / "states", options.folderStates, options.seed);
  result.calls = summary.total.calls;
  result.failedCalls = summary.total.failed;
  result.inboundCalls = summary.total.inbound;
  writeTotals(result.totalsFile, options, result, summary);
  return result;
}

std::string trafficUsage() {
  return "usage: generate_traffic --out FOLDER --lines N --hours H --end now|\"YYYY-MM-DD HH:MM:SS\" --seed S\n"
         "                        [--calls-per-hour R] [--max-file-bytes B] [--failures PERCENT]\n"
         "                        [--summary FILE] [--back-to-back] [--shared-milliseconds]\n"
         "                        [--roll-over-anywhere] [--folder-states N]\n"
         "                        [--clock-set-back SECONDS] [--stamp-ahead HOURS]\n"
         "\n"
         "Writes MVLOG trace files of a gateway with N lines for the H hours before --end,\n"
         "R calls per hour on each line (default 23), files rolled over at B bytes\n"
         "(default 4000000), PERCENT of the calls built to fail (default 8).  Also writes\n"
         "traffic-summary.csv (one row per call: what call reconstruction must produce)\n"
         "and traffic-totals.txt (calls per line, per node, per exit code).\n"
         "\n"
         "The cases a reader of a live folder must also take (the summary no longer\n"
         "predicts the calls then): --back-to-back opens some calls in the second in\n"
         "which their line's previous call ended; --shared-milliseconds stamps events\n"
         "of different lines alike to the millisecond; --roll-over-anywhere ends full\n"
         "files after any line, between a digit string and what follows it too;\n"
         "--folder-states N also writes the folder as it stood at N moments while it\n"
         "was written (cut at random bytes, inside lines) into states/01 ...\n"
         "--clock-set-back SECONDS steps the gateway's clock back by up to an hour at a\n"
         "moment drawn from the seed (stamps and file times repeat that stretch);\n"
         "--stamp-ahead HOURS stamps one event drawn from the seed up to 23 hours ahead.\n";
}

ParsedArguments parseTrafficArguments(const std::vector<std::string>& arguments, const DateTime& now) {
  ParsedArguments parsed;
  bool haveEnd = false, haveSeed = false, haveLines = false, haveHours = false;
  auto fail = [&](std::string text) {
    parsed.error = std::move(text);
    return parsed;
  };
  auto number = [](const std::string& text, double& value) {
    try {
      std::size_t used = 0;
      value = std::stod(text, &used);
      return used == text.size() && std::isfinite(value);
    } catch (const std::exception&) {
      return false;
    }
  };
  auto whole = [](const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    try {
      value = std::stoull(text);
      return true;
    } catch (const std::exception&) {
      return false;
    }
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--help" || name == "-h") {
      parsed.help = true;
      return parsed;
    }
    if (name == "--back-to-back") {
      parsed.options.backToBackCalls = true;
      continue;
    }
    if (name == "--shared-milliseconds") {
      parsed.options.sharedMilliseconds = true;
      continue;
    }
    if (name == "--roll-over-anywhere") {
      parsed.options.rollOverAnywhere = true;
      continue;
    }
    // A word beginning with '-' is an option, never a folder or a number.
    if (i + 1 >= arguments.size() || platform::isOptionWord(arguments[i + 1])) return fail(name + " needs a value");
    const std::string& value = arguments[++i];
    std::uint64_t integer = 0;
    double real = 0;
    if (name == "--out") {
      parsed.options.folder = value;
    } else if (name == "--summary") {
      parsed.options.summaryFile = value;
    } else if (name == "--lines") {
      if (!whole(value, integer) || integer > 99) return fail("--lines must be a whole number from 1 to 99");
      parsed.options.lines = static_cast<int>(integer);
      haveLines = true;
    } else if (name == "--hours") {
      if (!number(value, real)) return fail("--hours must be a number");
      parsed.options.hours = real;
      haveHours = true;
    } else if (name == "--seed") {
      if (!whole(value, integer)) return fail("--seed must be a whole number");
      parsed.options.seed = integer;
      haveSeed = true;
    } else if (name == "--calls-per-hour") {
      if (!number(value, real)) return fail("--calls-per-hour must be a number");
      parsed.options.callsPerHour = real;
    } else if (name == "--max-file-bytes") {
      if (!whole(value, integer)) return fail("--max-file-bytes must be a whole number");
      parsed.options.maxFileBytes = integer;
    } else if (name == "--failures") {
      if (!whole(value, integer) || integer > 100) return fail("--failures must be a whole number from 0 to 100");
      parsed.options.failurePercent = static_cast<int>(integer);
    } else if (name == "--folder-states") {
      if (!whole(value, integer) || integer > 999) return fail("--folder-states must be a whole number from 0 to 999");
      parsed.options.folderStates = static_cast<int>(integer);
    } else if (name == "--clock-set-back") {
      if (!whole(value, integer) || integer > 3600)
        return fail("--clock-set-back must be a whole number of seconds from 0 to 3600");
      parsed.options.clockSetBackSeconds = static_cast<int>(integer);
    } else if (name == "--stamp-ahead") {
      if (!whole(value, integer) || integer > 23) return fail("--stamp-ahead must be a whole number from 0 to 23");
      parsed.options.stampAheadHours = static_cast<int>(integer);
    } else if (name == "--end") {
      if (value == "now") {
        parsed.options.end = now;
      } else if (auto end = DateTime::parseStored(value); end && value.size() == 19) {
        parsed.options.end = *end;
      } else {
        return fail("--end must be now or \"YYYY-MM-DD HH:MM:SS\"");
      }
      haveEnd = true;
    } else {
      return fail("unknown option " + name);
    }
  }
  if (parsed.options.folder.empty()) return fail("--out is required");
  if (!haveLines || !haveHours || !haveEnd || !haveSeed) return fail("--lines, --hours, --end and --seed are required");
  if (std::string problem = checkOptions(parsed.options); !problem.empty()) return fail(problem);
  return parsed;
}

}  // namespace travik::traffic

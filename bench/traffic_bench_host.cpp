#include "bench/traffic_bench_host.h"

#include <algorithm>

namespace travik::traffic {

namespace {

bool startsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

RunPhases splitRun(const std::vector<BenchHost::Status>& statuses, BenchHost::Clock::time_point end) {
  using Status = BenchHost::Status;
  auto seconds = [](auto from, auto to) { return std::chrono::duration<double>(to - from).count(); };
  auto find = [&](auto from, auto predicate) { return std::find_if(from, statuses.end(), predicate); };
  RunPhases phases;

  const auto parseBegin = find(statuses.begin(), [](const Status& s) { return startsWith(s.text, "Parsing "); });
  if (parseBegin != statuses.end()) {
    const auto parseEnd = find(parseBegin, [](const Status& s) { return !startsWith(s.text, "Parsing "); });
    phases.parse = seconds(parseBegin->at, parseEnd == statuses.end() ? end : parseEnd->at);
  }
  const auto totals =
      find(statuses.begin(), [](const Status& s) { return s.text == "Calculating per line totals..."; });
  const auto callsBegin =
      find(statuses.begin(), [](const Status& s) { return startsWith(s.text, "Processing calls for line "); });
  if (callsBegin != statuses.end() && totals != statuses.end() && callsBegin < totals)
    phases.calls = seconds(callsBegin->at, totals->at);
  if (totals != statuses.end()) {
    const auto complete = find(totals, [](const Status& s) { return s.text == "Processing complete."; });
    phases.summary = seconds(totals->at, complete == statuses.end() ? end : complete->at);
  }
  return phases;
}

}  // namespace travik::traffic

// What the generator made, for tests and for people.
//
// traffic-summary.csv holds one row per generated call, in the order the
// calls open, with what call reconstruction must write for it.  Its columns:
//
//   callid, line, inbound (1/0), timestampbegin, timestampend ("YYYY-MM-DD
//   HH:MM:SS"), durationInSeconds, exitcode, scenario, octelserialnumber,
//   corvaneserialnumber, protocollevel (empty when never set), the eleven
//   counters of `calls` under their column names, tasks, incompletetasks,
//   faxtasks, recipients, rejectedrecipients (rows of `tasks` and
//   `recipients` for the call), and for a failed call the errors row's
//   state, reason, expecteddigits, receiveddigits, expectednumberdigits and
//   receivednumberdigits (0 and empty for a call that did not fail).
//
// traffic-totals.txt repeats the parameters and totals the calls per line,
// per Octel node, per exit code and per scenario.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/traffic_calls.h"

namespace travik::traffic {

// The columns of traffic-summary.csv, in order.
const std::vector<std::string>& summaryColumns();
// One row of traffic-summary.csv (without line end).
std::string summaryRow(const ExpectedCall& call);

struct CallTally {
  std::uint64_t calls = 0;
  std::uint64_t failed = 0;
  std::uint64_t inbound = 0;
};

class SummaryWriter {
 public:
  explicit SummaryWriter(const std::filesystem::path& file);
  void add(const ExpectedCall& call);
  void close();

  CallTally total;
  std::map<int, CallTally> perLine;
  std::map<std::string, CallTally> perNode;
  std::map<std::string, CallTally> perExitCode;
  std::map<std::string, CallTally> perScenario;

 private:
  std::filesystem::path file_;
  std::ofstream out_;
};

}  // namespace travik::traffic

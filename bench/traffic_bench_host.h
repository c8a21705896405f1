// The host the throughput benchmark runs the processing code under.
//
// Pauses take no time (the benchmark measures work, not the pauses the
// system makes on purpose), the clock stands at a fixed moment, and every
// status text is noted with the moment it was shown, so one processing run
// can be split into its phases by the status lines each phase begins with.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "processing/runtime/host.h"

namespace travik::traffic {

class BenchHost : public Host {
 public:
  using Clock = std::chrono::steady_clock;
  struct Status {
    Clock::time_point at;
    std::string text;
  };

  explicit BenchHost(DateTime now) : clock_(now) {}

  void showStatus(std::string_view text, StatusColour) override {
    statuses.push_back({Clock::now(), std::string(text)});
  }
  void setProgressMin(double) override {}
  void setProgressMax(double value) override { progressMax_ = value; }
  void setProgressValue(double) override {}
  double progressMax() const override { return progressMax_; }
  void setMousePointer(int) override {}
  void yield() override {}
  void sleep(int milliseconds) override { skippedPauseMs += milliseconds; }
  MessageResult messageBox(std::string_view text, std::string_view, MessageButtons buttons, MessageIcon) override {
    boxes.emplace_back(text);
    return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
  }
  DateTime now() override { return clock_; }
  void setLogFlushTimerEnabled(bool) override {}

  std::vector<Status> statuses;
  std::vector<std::string> boxes;
  long long skippedPauseMs = 0;

 private:
  DateTime clock_;
  double progressMax_ = 100;
};

// Where the phases of one processing run began and ended, in seconds from
// the run's start; a phase whose status lines never came is empty.
struct RunPhases {
  std::optional<double> parse;    // first "Parsing " to the first status after the parsing
  std::optional<double> calls;    // first "Processing calls for line" to "Calculating per line totals..."
  std::optional<double> summary;  // "Calculating per line totals..." to "Processing complete."
};

RunPhases splitRun(const std::vector<BenchHost::Status>& statuses, BenchHost::Clock::time_point end);

}  // namespace travik::traffic

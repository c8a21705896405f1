// A host for tests: records what processing shows, answers message boxes from
// a script, keeps a settable clock and pauses without taking time.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "processing/runtime/host.h"

namespace travik::test {

class FakeHost : public Host {
 public:
  struct Box {
    std::string text;
    std::string title;
    MessageButtons buttons;
    MessageIcon icon;
  };
  struct Status {
    std::string text;
    StatusColour colour;
  };

  FakeHost();

  void showStatus(std::string_view text, StatusColour colour) override;
  void setProgressMin(double value) override {
    progressMin = value;
    progressLog.push_back("min=" + fmt(value));
  }
  void setProgressMax(double value) override {
    progressMaxValue = value;
    progressLog.push_back("max=" + fmt(value));
  }
  void setProgressValue(double value) override {
    progressValue = value;
    progressLog.push_back("value=" + fmt(value));
  }
  double progressMax() const override { return progressMaxValue; }
  void setMousePointer(int pointer) override { pointers.push_back(pointer); }
  void yield() override;
  void sleep(int milliseconds) override;
  MessageResult messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                           MessageIcon icon) override;
  DateTime now() override { return clock; }
  void setLogFlushTimerEnabled(bool enabled) override { flushTimerEnabled = enabled; }

  static std::string fmt(double value);

  DateTime clock;
  // Seconds the clock moves forward per sleep millisecond (0: the clock stands).
  bool sleepAdvancesClock = false;
  std::vector<Status> statuses;
  std::vector<Box> boxes;
  std::deque<MessageResult> boxAnswers;  // answered in order; Ok/Yes when empty
  std::vector<int> sleeps;
  std::vector<int> pointers;
  std::vector<std::string> progressLog;
  double progressMin = 0, progressMaxValue = 100, progressValue = 0;
  int yields = 0;
  bool flushTimerEnabled = false;
  std::function<void()> onYield;
  std::function<void(int)> onSleep;
};

}  // namespace travik::test

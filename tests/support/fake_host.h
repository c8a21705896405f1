// A host for tests: records what processing shows, answers message boxes from
// a script, keeps a settable clock and pauses without taking time.  A yield,
// sleep or box that reaches it while `database` holds a write transaction
// fails the test: whatever stands in front (the call walk's host) must have
// committed by then.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/db.h"
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
  // The program database whose write transactions no pause may meet (set by TestProgram).
  const db::Connection* database = nullptr;

 private:
  void expectNoWriteTransaction(std::string_view pause) const;
};

}  // namespace travik::test

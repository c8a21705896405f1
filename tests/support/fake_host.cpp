#include "tests/support/fake_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

namespace travik::test {

FakeHost::FakeHost() : clock(DateTime::fromTimeT(std::time(nullptr))) {}

std::string FakeHost::fmt(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

void FakeHost::showStatus(std::string_view text, StatusColour colour) {
  statuses.push_back({std::string(text), colour});
}

void FakeHost::expectNoWriteTransaction(std::string_view pause) const {
  if (database && database->inWriteTransaction())
    ADD_FAILURE() << "a " << pause << " reached the host while the program database held a write transaction";
}

void FakeHost::yield() {
  expectNoWriteTransaction("yield");
  ++yields;
  if (onYield) onYield();
}

void FakeHost::sleep(int milliseconds) {
  expectNoWriteTransaction("sleep");
  sleeps.push_back(milliseconds);
  if (sleepAdvancesClock) clock = clock.addSeconds(milliseconds / 1000);
  if (onSleep) onSleep(milliseconds);
}

MessageResult FakeHost::messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                                   MessageIcon icon) {
  expectNoWriteTransaction("message box");
  boxes.push_back({std::string(text), std::string(title), buttons, icon});
  if (!boxAnswers.empty()) {
    const MessageResult answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
}

}  // namespace travik::test

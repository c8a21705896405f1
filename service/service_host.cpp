#include "service/service_host.h"

namespace travik {

void ServiceHost::showStatus(std::string_view text, StatusColour) { statusText_ = text; }

MessageResult ServiceHost::messageBox(std::string_view, std::string_view, MessageButtons buttons, MessageIcon) {
  return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
}

void ServiceHost::setLogFlushTimerEnabled(bool enabled) {
  flushTimerWanted_ = enabled;
  if (flushTimer_) loop_.setTimerEnabled(*flushTimer_, enabled);
}

void ServiceHost::attachLogFlushTimer(EventLoop::TimerId timer) {
  flushTimer_ = timer;
  loop_.setTimerEnabled(timer, flushTimerWanted_);
}

}  // namespace travik

// The service's hidden main window, frmMain: the Host of the processing code.
//
// Nobody ever sees the service's status box or progress bar, so they are
// plain records of what the processing code last showed.  Yield runs the
// service's due timer ticks, sleep is a real pause of the one thread, and
// every "now" is the machine's local time.
#pragma once

#include <optional>
#include <string>

#include "processing/runtime/host.h"
#include "service/event_loop.h"

namespace travik {

class ServiceHost : public Host {
 public:
  ServiceHost(EventLoop& loop, LoopPlatform& platform) : loop_(loop), platform_(platform) {}

  void showStatus(std::string_view text, StatusColour colour) override;
  void setProgressMin(double value) override { progressMin_ = value; }
  void setProgressMax(double value) override { progressMax_ = value; }
  void setProgressValue(double value) override { progressValue_ = value; }
  double progressMax() const override { return progressMax_; }
  void setMousePointer(int pointer) override { mousePointer_ = pointer; }
  void yield() override { loop_.processEvents(); }
  void sleep(int milliseconds) override { loop_.pause(milliseconds); }
  // The service shows no message boxes; should one be asked for, nobody is there to answer.
  MessageResult messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                           MessageIcon icon) override;
  DateTime now() override { return platform_.localNow(); }
  void setLogFlushTimerEnabled(bool enabled) override;
  void honourStop() override { loop_.honourStop(); }

  // frmLogFlushTimer's timer; until it is attached the wish is remembered.
  void attachLogFlushTimer(EventLoop::TimerId timer);

  // txtProgress
  const std::string& statusText() const { return statusText_; }
  // ProgressBar
  double progressMin() const { return progressMin_; }
  double progressValue() const { return progressValue_; }
  int mousePointer() const { return mousePointer_; }

 private:
  EventLoop& loop_;
  LoopPlatform& platform_;
  std::optional<EventLoop::TimerId> flushTimer_;
  bool flushTimerWanted_ = false;
  std::string statusText_;
  double progressMin_ = 0, progressMax_ = 100, progressValue_ = 0;
  int mousePointer_ = kPointerDefault;
};

}  // namespace travik

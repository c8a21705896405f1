// What the processing code needs of the program around it.
//
// Processing never touches a window or the system clock: it shows status text
// and progress, changes the pointer, yields to pending events, pauses, asks the
// operator and reads the time through this interface.  The console implements
// it with its widgets, the service with a headless recorder, tests with a fake
// whose sleep takes no time.
#pragma once

#include <functional>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>

#include "processing/text/date_time.h"

namespace travik {

// Text colour of the status box.
enum class StatusColour {
  Progress,    // pure blue, for progress lines
  WindowText,  // the system's window-text colour, for "Processing complete."
};

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageIcon { None, Information, Exclamation, Question, Critical };
enum class MessageResult { Ok, Cancel, Yes, No };

// Mouse pointer values the processing code sets.
constexpr int kPointerDefault = 0;
constexpr int kPointerHourglass = 11;

class Host {
 public:
  virtual ~Host() = default;

  // The status box txtProgress: colour first, then text.
  virtual void showStatus(std::string_view text, StatusColour colour) = 0;
  // The progress bar; the processing code reads Max back to clamp values.
  virtual void setProgressMin(double value) = 0;
  virtual void setProgressMax(double value) = 0;
  virtual void setProgressValue(double value) = 0;
  virtual double progressMax() const = 0;
  virtual void setMousePointer(int pointer) = 0;

  // Lets pending events (timer ticks, window events) run once.
  virtual void yield() = 0;
  // A pause of the one thread; events are not processed during it.
  virtual void sleep(int milliseconds) = 0;
  // A modal message box; only the console shows them.
  virtual MessageResult messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                                   MessageIcon icon) = 0;
  // Every "now" of the system: local civil time.
  virtual DateTime now() = 0;
  // The activity log's 60-second flush timer.
  virtual void setLogFlushTimerEnabled(bool enabled) = 0;
  // A place inside long work that neither yields nor pauses (a file read, a
  // line's walk, a report, after a slow gateway call) where a pending stop
  // request of the program is honoured: the work is abandoned by throwing
  // StopRequested, its open transaction rolls back and its unfinished file is
  // removed, and the program then ends in order.  Only the service has stop
  // requests; elsewhere this does nothing.
  virtual void honourStop() {}
  // A wait for the program database has given up before its step reports
  // the failure: the database stayed locked, or a stop request cut the wait
  // short (db::Connection::setStopCheck).  On a stop request the console ends
  // in order from here, so the wait costs no handled error, count or box;
  // elsewhere this does nothing.
  virtual void honourStopAfterDatabaseWait() {}
};

// A host that passes every call on to another.  Wrappers derive from it and
// take over only the calls they mean to change.
class ForwardingHost : public Host {
 public:
  void showStatus(std::string_view text, StatusColour colour) override { target_->showStatus(text, colour); }
  void setProgressMin(double value) override { target_->setProgressMin(value); }
  void setProgressMax(double value) override { target_->setProgressMax(value); }
  void setProgressValue(double value) override { target_->setProgressValue(value); }
  double progressMax() const override { return target_->progressMax(); }
  void setMousePointer(int pointer) override { target_->setMousePointer(pointer); }
  void yield() override { target_->yield(); }
  void sleep(int milliseconds) override { target_->sleep(milliseconds); }
  MessageResult messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                           MessageIcon icon) override {
    return target_->messageBox(text, title, buttons, icon);
  }
  DateTime now() override { return target_->now(); }
  void setLogFlushTimerEnabled(bool enabled) override { target_->setLogFlushTimerEnabled(enabled); }
  void honourStop() override { target_->honourStop(); }
  void honourStopAfterDatabaseWait() override { target_->honourStopAfterDatabaseWait(); }

 protected:
  explicit ForwardingHost(Host& target) : target_(&target) {}
  ForwardingHost(const ForwardingHost&) = delete;
  ForwardingHost& operator=(const ForwardingHost&) = delete;

  Host* target_;
};

// The three calls of a host that let the thread wait: a yield runs other work
// (the console's timers and windows), a sleep holds the thread, a box waits on
// the operator.  No write transaction of the program database may stay open
// across one of them: the other program waits for the database meanwhile, and
// work run in a yield would write into the open transaction.
enum class Pause { Yield, Sleep, MessageBox };

// The host a Program talks to: the program's own, or for a stretch of work a
// wrapper put in front of it (the call walk's, walk_host.h).
//
// Behind every wrapper, just before the program's own host, each pause meets
// `beforePause`, the program's check of the rule above (pause_rule.h).  So a
// wrapper that commits around a pause passes it, and a pause under a write
// transaction that no wrapper closes is caught wherever it comes from.
class HostSlot final : public ForwardingHost {
 public:
  explicit HostSlot(Host& host) : ForwardingHost(static_cast<Host&>(own_)), own_(*this, host) {}

  // The check of every pause, with where it was asked for when the caller
  // went through this slot by name (nullptr through a plain Host&).
  std::function<void(Pause, const std::source_location*)> beforePause;

  // The pauses as the processing code asks for them (program.host.yield()):
  // the same as through Host, with the caller noted for the check's report.
  void yield(std::source_location caller = std::source_location::current()) {
    caller_ = caller;
    target_->yield();
  }
  void sleep(int milliseconds, std::source_location caller = std::source_location::current()) {
    caller_ = caller;
    target_->sleep(milliseconds);
  }
  MessageResult messageBox(std::string_view text, std::string_view title, MessageButtons buttons, MessageIcon icon,
                           std::source_location caller = std::source_location::current()) {
    caller_ = caller;
    return target_->messageBox(text, title, buttons, icon);
  }

  // The host in front: a wrapper, or the program's own behind the check.
  Host& current() const { return *target_; }

  // Puts a wrapper in front for the wrapper's own lifetime.
  class Override {
   public:
    Override(HostSlot& slot, Host& wrapper) : slot_(slot), previous_(std::exchange(slot.target_, &wrapper)) {}
    ~Override() { slot_.target_ = previous_; }
    Override(const Override&) = delete;
    Override& operator=(const Override&) = delete;

   private:
    HostSlot& slot_;
    Host* previous_;
  };

 private:
  // The program's own host, each pause checked on its way in.
  class Checked final : public ForwardingHost {
   public:
    Checked(HostSlot& slot, Host& own) : ForwardingHost(own), slot_(slot) {}
    void yield() override {
      slot_.check(Pause::Yield);
      ForwardingHost::yield();
    }
    void sleep(int milliseconds) override {
      slot_.check(Pause::Sleep);
      ForwardingHost::sleep(milliseconds);
    }
    MessageResult messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                             MessageIcon icon) override {
      slot_.check(Pause::MessageBox);
      return ForwardingHost::messageBox(text, title, buttons, icon);
    }

   private:
    HostSlot& slot_;
  };

  void check(Pause pause) {
    // Taken at once: the pause may come back here before it returns.
    const std::optional<std::source_location> caller = std::exchange(caller_, std::nullopt);
    if (beforePause) beforePause(pause, caller ? &*caller : nullptr);
  }

  Checked own_;
  std::optional<std::source_location> caller_;
};

}  // namespace travik

// The host as the call walk sees it.
//
// No write transaction stays open across a yield, a pause or a message box:
// a yield runs the console's timer ticks and window events, a box waits on
// the operator, and the other program may be waiting for the database all
// the while.  The walk keeps one write transaction per line open, so for the
// length of the walk the program talks to this wrapper, which commits the
// line's open transaction before each of the three and opens the next one
// after it.  This is the one place the walk keeps the rule: a procedure that
// reports an error or pauses need not know whether a transaction is open.
// Behind it, the program's host checks that it did (runtime/pause_rule.h).
//
// The line is committed only while it is whole: after a failed write it is
// given up instead (abandonLine), and so it is when the commit or the next
// begin fails.  Such a failure waits in module.pauseFailure for the error
// report under way to report it under its own procedure; inside a line,
// only error reports pause.
#pragma once

#include "processing/calls/call_module.h"
#include "processing/runtime/host.h"

namespace travik {

class WalkHost final : public ForwardingHost {
 public:
  // Stands in front of the module's program host until destroyed.
  explicit WalkHost(CallModule& module);

  void yield() override;
  void sleep(int milliseconds) override;
  MessageResult messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                           MessageIcon icon) override;

 private:
  // Runs one call of the host behind with the line's transaction closed.
  template <class Call>
  auto outsideTransaction(Call&& call);

  CallModule& module_;
  HostSlot::Override inFront_;
};

}  // namespace travik

#include "processing/calls/walk_host.h"

#include "processing/runtime/error_handling.h"

namespace travik {

namespace {

// Gives the line up with the failure that made it so, kept for the report under way.
void abandonAfter(CallModule& module, const HandledError& failure) {
  module.pauseFailure = failure;
  abandonLine(module);
}

// Commits the line's open transaction, or gives the line up when it is not
// whole or its commit fails.  True when a transaction was open.
bool closeLineTransaction(CallModule& module) {
  if (!module.transaction) return false;
  // Written one statement at a time after a failed write, the line would be left half made.
  if (module.records.writeFailed()) {
    abandonLine(module);
    return true;
  }
  if (guardWith([&] { commitLineTransaction(module); }, [&](const HandledError& f) { abandonAfter(module, f); }))
    module.linePartCommitted = true;
  return true;
}

void reopenLineTransaction(CallModule& module) {
  if (module.lineAbandoned) return;
  guardWith([&] { beginLineTransaction(module); }, [&](const HandledError& f) { abandonAfter(module, f); });
}

}  // namespace

WalkHost::WalkHost(CallModule& module)
    : ForwardingHost(module.program.host.current()), module_(module), inFront_(module.program.host, *this) {}

template <class Call>
auto WalkHost::outsideTransaction(Call&& call) {
  const bool wasOpen = closeLineTransaction(module_);
  // A call that does not return (the program ends in it) leaves the transaction closed.
  auto result = call();
  if (wasOpen) reopenLineTransaction(module_);
  return result;
}

void WalkHost::yield() {
  outsideTransaction([&] {
    ForwardingHost::yield();
    return 0;
  });
}

void WalkHost::sleep(int milliseconds) {
  outsideTransaction([&] {
    ForwardingHost::sleep(milliseconds);
    return 0;
  });
}

MessageResult WalkHost::messageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                                   MessageIcon icon) {
  return outsideTransaction([&] { return ForwardingHost::messageBox(text, title, buttons, icon); });
}

}  // namespace travik

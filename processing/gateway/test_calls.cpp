#include "processing/gateway/test_calls.h"

#include <optional>
#include <string_view>
#include <vector>

#include "processing/gateway/gateway_database.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr const char* kScheduleTestCalls = "scheduleTestCalls()";
constexpr const char* kExcludeFromTestCalls = "excludeFromTestCalls()";
constexpr const char* kCancelTestCalls = "cancelTestCalls()";

// The last-referenced date of a new test-call row: 1 January 1900, midnight.
constexpr const char* kNeverReferenced = "1900-01-01 00:00:00";

// Nodes an operation failed for: after their errors, one line says so, where
// success would have been reported.
void reportFailedNodes(Program& program, int failures, std::string_view what) {
  reportTestCallOutcome(program,
                        std::string(what) + " for " + std::to_string(failures) +
                            (failures == 1 ? " Octel Node" : " Octel Nodes") + ": see the errors reported.",
                        MessageIcon::Exclamation);
}

// An empty mailbox id would make every directory row without a mailbox look
// like a pending test call, so nothing is scheduled or removed then.
bool testCallMailboxConfigured(Program& program, std::string_view consequence) {
  if (!program.settings.testCallMailboxId.empty()) return true;
  reportTestCallOutcome(program, std::string("No test-call mailbox is configured (TESTCALLMAILBOXID is empty).  ") +
                                     std::string(consequence));
  return false;
}

std::string requireSerial(const std::optional<std::string>& serial) {
  if (!serial) throw HandledError(error_number::kInvalidUseOfNull, "Invalid use of Null");
  return *serial;
}

// The serial numbers of octelnode; nothing when the table is empty.
std::vector<std::optional<std::string>> readNodes(odbc::Connection& gateway) {
  std::vector<std::optional<std::string>> nodes;
  auto statement = gateway.execute("select serialno from octelnode");
  while (statement.fetch()) nodes.push_back(statement.getText(0));
  return nodes;
}

// The exclusion test; failed is set when the table could not be read.
bool isExcludedFromTestCalls(Program& program, const std::string& serialNumber, bool& failed) {
  bool excluded = false;
  if (!guard(program, kExcludeFromTestCalls, [&] {
        auto statement = program.db.prepare("select 1 from excludeFromTestCalls where serialno = ?1 limit 1");
        statement.bind(1, serialNumber);
        excluded = statement.step();
      }))
    failed = true;
  return excluded;
}

}  // namespace

void reportTestCallOutcome(Program& program, std::string_view text, MessageIcon icon) {
  program.statusMessage = text;
  if (!program.runningAsService)
    program.host.messageBox(program.statusMessage, kApplicationTitle, MessageButtons::Ok, icon);
  writeLog(program, program.statusMessage, true);
}

bool excludeFromTestCalls(Program& program, const std::string& serialNumber) {
  bool failed = false;
  return isExcludedFromTestCalls(program, serialNumber, failed);
}

void scheduleTestCalls(Program& program) {
  if (!testCallMailboxConfigured(program, "No test calls have been scheduled.")) return;
  const std::string mailbox = program.settings.testCallMailboxId;

  std::unique_ptr<odbc::Connection> gateway;
  std::vector<std::optional<std::string>> nodes;
  // Without the gateway nothing can be scheduled; the handled error is the
  // operator's answer, never a report of success.
  if (!guard(program, kScheduleTestCalls, [&] {
        gateway = openGatewayConnection(program);
        nodes = readNodes(*gateway);
      }))
    return;
  if (nodes.empty()) {
    reportTestCallOutcome(program, "There are no Octel Nodes configured.  No test calls have been scheduled.");
    return;
  }

  int failures = 0;
  for (const auto& node : nodes) {
    std::string serial;
    if (!guard(program, kScheduleTestCalls, [&] { serial = requireSerial(node); })) {
      ++failures;
      continue;
    }
    // A node whose exclusion could not be read may be one the operator
    // excluded: it is not called.
    bool unreadable = false;
    const bool excluded = isExcludedFromTestCalls(program, serial, unreadable);
    if (unreadable) {
      ++failures;
      continue;
    }
    if (excluded) {
      writeLog(program,
               serial +
                   " is configured for exclusion from test call generation.  Test call for this node has not been "
                   "scheduled.",
               true);
      continue;
    }
    // A node already pending gets no second row, but its line is written again.
    if (!guard(program, kScheduleTestCalls, [&] {
          auto pending = gateway->execute("select serialno from directory where serialno = ? and mailboxno = ?",
                                          {serial, mailbox});
          const bool alreadyPending = pending.fetch();
          if (!alreadyPending)
            gateway->execute(
                "insert into directory (serialno, mailboxno, lastreferenced, entrytype) values (?, ?, ?, 1)",
                {serial, mailbox, kNeverReferenced});
        })) {
      ++failures;
      continue;
    }
    writeLog(program,
             "Administrative test call scheduled for Octel Node serial number " + serial + " mailbox " + mailbox + ".",
             true);
  }
  gateway->close();
  if (failures == 0)
    reportTestCallOutcome(program, "Test calls scheduled successfully.");
  else
    reportFailedNodes(program, failures, "Test calls could not be scheduled");
}

void cancelTestCalls(Program& program) {
  if (!testCallMailboxConfigured(program, "No pending test calls have been canceled.")) return;
  const std::string mailbox = program.settings.testCallMailboxId;

  std::unique_ptr<odbc::Connection> gateway;
  bool nodesConfigured = false;
  std::vector<std::optional<std::string>> pending;
  if (!guard(program, kCancelTestCalls, [&] {
        gateway = openGatewayConnection(program);
        // The nodes are not read further: the table only has to hold one.
        nodesConfigured = gateway->execute("select serialno from octelnode").fetch();
        if (!nodesConfigured) return;
        auto rows = gateway->execute("select serialno from directory where mailboxno = ?", {mailbox});
        while (rows.fetch()) pending.push_back(rows.getText(0));
      }))
    return;
  if (!nodesConfigured) {
    reportTestCallOutcome(program, "There are no Octel Nodes configured.  No test calls were pending.");
    return;
  }
  if (pending.empty()) {
    reportTestCallOutcome(program, "There are no pending test calls scheduled.");
    return;
  }

  // Every row of the test mailbox goes, whatever its node: also rows of
  // excluded nodes and of nodes no longer configured.
  int failures = 0;
  for (const auto& serial : pending) {
    writeLog(program,
             "Unscheduling administrative test call.  Mailbox " + mailbox + " is being removed from the Octel Node " +
                 serial.value_or("") + " directory.",
             true);
    if (!guard(program, kCancelTestCalls, [&] {
          if (serial)
            gateway->execute("delete from directory where serialno = ? and mailboxno = ?", {*serial, mailbox});
          else
            gateway->execute("delete from directory where serialno is null and mailboxno = ?", {mailbox});
        }))
      ++failures;
  }
  gateway->close();
  if (failures == 0)
    reportTestCallOutcome(program, "Pending test calls have been canceled.");
  else
    reportFailedNodes(program, failures, "Pending test calls could not be canceled");
}

}  // namespace travik

// Test support for the outbound call machine: the gateway's texts of an
// outbound call, the runs of events that bring a call into each state, and
// the rows a rebuilt call leaves, as compact texts.
#pragma once

#include <string>
#include <vector>

#include "processing/text/date_time.h"
#include "tests/processing/call_trace.h"
#include "tests/support/test_program.h"

namespace travik::test::outbound {

inline const DateTime kStart(2024, 3, 1, 10, 0, 0);

// Digit strings of a given length, never a single 7, 8 or 9 (those have codes of their own).
inline std::string digits(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += static_cast<char>('1' + i % 6);
  return text;
}
inline std::string received(int count) { return "Received " + digits(count); }
inline std::string played(int count) { return "Playing " + digits(count); }

inline const std::string kCallOut = "Call Out Process Initiated for Node 000123";
inline const std::string kEstablished = "Call established from Serial # 4444 to Serial # 000777";
inline const std::string kSending = "Sending Message from mailbox 100@4444 to mailbox 200@000777";
inline const std::string kCouldNotSend = "Could NOT send Message from mailbox 100@4444 to mailbox 201@000777";
inline const std::string kCallOutCompleted = "Call Out Completed.";

// From the opening event to state 6, the wait for the first message header's answer.
inline std::vector<std::string> setUp() {
  return {kCallOut,    "Call Status = Answer", "Received CDD", received(14), "Protocol Level = 3", received(16),
          kEstablished};
}

// Runs of events after which the call stands in a state, each starting from the call's opening.
inline std::vector<std::string> operator+(std::vector<std::string> first, const std::vector<std::string>& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}
inline std::vector<std::string> toHeaderResponse() {
  return setUp() + std::vector<std::string>{played(36), received(6)};
}
inline std::vector<std::string> toSending() { return toHeaderResponse() + std::vector<std::string>{kSending}; }
inline std::vector<std::string> toPlayComplete() {
  return toSending() + std::vector<std::string>{"Playing Voice", "Playing #"};
}
inline std::vector<std::string> toSaveResponse() {
  return toPlayComplete() + std::vector<std::string>{"Received 8", "Playing 9"};
}
inline std::vector<std::string> toAdditionalRecipients() {
  return toSaveResponse() + std::vector<std::string>{received(6)};
}
inline std::vector<std::string> toAddressRecipient() {
  return toAdditionalRecipients() + std::vector<std::string>{played(24), received(6)};
}
inline std::vector<std::string> toRetrieving() {
  return toHeaderResponse() + std::vector<std::string>{"Retrieving Name for mailbox 300"};
}
inline std::vector<std::string> toGetNextName() {
  return toRetrieving() + std::vector<std::string>{received(48), "Name for mailbox 300 is \"Ann Lee\""};
}

// The rows of the calls, errors, tasks and recipients tables, one text per row.
struct Rows {
  std::vector<std::string> calls, errors, tasks, recipients;
};

inline Rows rowsOf(TestProgram& program) {
  return {program.rows("select exitcode, timestampbegin, timestampend, durationInSeconds, octelserialnumber, "
                       "corvaneserialnumber, protocollevel, msgsendattempt, msgsendsuccess, numberrecipientssent, "
                       "adminnamesrequested, textnamesreceived, voicenamesreceived, callid from calls order by rowid"),
          program.rows("select exitcode, statetext, reasontext, expecteddigits, receiveddigits, "
                       "expectednumberdigits, receivednumberdigits, timestamperror, previousstatedata, callid "
                       "from errors order by rowid"),
          program.rows("select tasktype, fax, sender, numberofrecipients, namerequestfor, textnamereceived, "
                       "recordingreceived, timestampbegin, timestampend, durationInSeconds, taskid, callid "
                       "from tasks order by rowid"),
          program.rows("select recipient, octelserialnumber, corvaneserialnumber, rejected, recipientinfo, taskid, "
                       "callid from recipients order by rowid")};
}

}  // namespace travik::test::outbound

// The eleven counters of a call: the one list from which the calls table's
// writer, the totals, the reports and the console take them.
#pragma once

#include <array>
#include <cstddef>

namespace travik {

// The counters in the order of their columns.
enum CallCounter : std::size_t {
  kMsgSendAttempt,
  kMsgSendSuccess,
  kMsgReceiveAttempt,
  kMsgReceiveSuccess,
  kNumberRecipientsSent,
  kAdminNamesRequested,
  kTextNamesReceived,
  kVoiceNamesReceived,
  kAdminNameRequestsRecd,
  kTextNamesSent,
  kVoiceNamesSent,
  kCallCounterCount,
};

// Their column names, as calls, linesummary and octelsummary spell them.
inline constexpr std::array<const char*, kCallCounterCount> kCallCounterNames = {
    "msgsendattempt",        "msgsendsuccess",      "msgreceiveattempt", "msgreceivesuccess",
    "numberrecipientssent",  "adminnamesrequested", "textnamesreceived", "voicenamesreceived",
    "adminnamerequestsrecd", "textnamessent",       "voicenamessent",
};

}  // namespace travik

// The automatic report set written at the end of every processing run: one
// new AllCalls, LineSummary, OctelSummary and RejectedRecipients report is
// written, and the earlier reports of each kind are deleted once its new one
// is complete, so that the folder holds only the newest set and never loses
// a report to a write that failed.
#pragma once

#include "processing/runtime/program.h"

namespace travik {

// The automatic RejectedRecipients selection: recipients with an outcome text
// other than the extended-absence notice, which is no rejection.
inline constexpr const char* kAutomaticRejectedRecipientsSelection =
    "select * from recipients where recipientinfo <> '' and recipientinfo <> 'Extended Absence greeting is "
    "enabled' order by callid";

// Which of the two totals reports a run replaces: those whose totals it computed.
struct SummaryReports {
  bool lines = true;  // LineSummary
  bool nodes = true;  // OctelSummary
};

// Replaces each automatic report (of the totals reports only those
// `replaced` names): the new one is written under a temporary name and
// renamed, and only then are the earlier reports of its kind deleted.  A
// report that cannot be written leaves the earlier one in place and is
// reported (in the service also as event 4); the result is then false, and
// the reports stay owed.
bool replaceAutomaticReports(Program& program, SummaryReports replaced = {});

}  // namespace travik

// The calls and totals reports: AllCalls (every call with its error, if any),
// LineSummary (totals per gateway line) and OctelSummary (totals per node).
// They share the layout and the error handling of every report file.
#pragma once

#include <string_view>

#include "processing/runtime/program.h"

namespace travik {

// Every call with the columns of its errors row where one exists, in the text
// order of the call id (so January of a later year precedes December).
inline constexpr const char* kAllCallsQuery =
    "select calls.octelserialnumber, calls.timestampbegin, calls.timestampend, calls.callid, calls.inbound, "
    "calls.line, calls.durationInSeconds, calls.exitcode, calls.corvaneserialnumber, calls.protocollevel, "
    "calls.msgsendattempt, calls.msgsendsuccess, calls.msgreceiveattempt, calls.msgreceivesuccess, "
    "calls.numberrecipientssent, calls.adminnamesrequested, calls.textnamesreceived, calls.voicenamesreceived, "
    "calls.adminnamerequestsrecd, calls.textnamessent, calls.voicenamessent, errors.timestamperror, errors.state, "
    "errors.statetext, errors.reason, errors.reasontext, errors.expecteddigits, errors.receiveddigits, "
    "errors.expectednumberdigits, errors.receivednumberdigits from calls left outer join errors on calls.callid = "
    "errors.callid order by calls.callid";

// The selections both the automatic set and the dump command pass.
inline constexpr const char* kLineSummarySelection = "select * from linesummary order by line";
inline constexpr const char* kOctelSummarySelection = "select * from octelsummary order by octelserialnumber";

// Each returns true when its file holds the header and a line for every row.
bool reportAllCallsErrors(Program& program);
bool reportLineSummary(Program& program, std::string_view selection);
bool reportOctelSummary(Program& program, std::string_view selection);

}  // namespace travik

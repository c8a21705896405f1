#include "processing/reports/call_reports.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <span>

#include "processing/reports/reports.h"

namespace travik {

namespace {

// The eleven per-call counters in their fixed order: columns 11-21 of
// AllCalls and the tails of both totals reports.
constexpr ReportColumn kCallCounters[] = {
    {"msgsendattempt", ValueKind::Number},        {"msgsendsuccess", ValueKind::Number},
    {"msgreceiveattempt", ValueKind::Number},     {"msgreceivesuccess", ValueKind::Number},
    {"numberrecipientssent", ValueKind::Number},  {"adminnamesrequested", ValueKind::Number},
    {"textnamesreceived", ValueKind::Number},     {"voicenamesreceived", ValueKind::Number},
    {"adminnamerequestsrecd", ValueKind::Number}, {"textnamessent", ValueKind::Number},
    {"voicenamessent", ValueKind::Number},
};

// One column list made of several, in the order given.
template <std::size_t... N>
constexpr auto joined(const ReportColumn (&... parts)[N]) {
  std::array<ReportColumn, (N + ...)> all{};
  std::size_t at = 0;
  for (const std::span<const ReportColumn> part : {std::span<const ReportColumn>(parts)...})
    for (const ReportColumn& column : part) all[at++] = column;
  return all;
}

constexpr ReportColumn kCallHead[] = {
    {"octelserialnumber", ValueKind::Text},   {"timestampbegin", ValueKind::DateTime},
    {"timestampend", ValueKind::DateTime},    {"callid", ValueKind::Text},
    {"inbound", ValueKind::Boolean},          {"line", ValueKind::Number},
    {"durationInSeconds", ValueKind::Number}, {"exitcode", ValueKind::Text},
    {"corvaneserialnumber", ValueKind::Text}, {"protocollevel", ValueKind::Text},
};

constexpr ReportColumn kErrorTail[] = {
    {"timestamperror", ValueKind::DateTime},     {"state", ValueKind::Number},
    {"statetext", ValueKind::Text, true},        {"reason", ValueKind::Number},
    {"reasontext", ValueKind::Text, true},       {"expecteddigits", ValueKind::Text},
    {"receiveddigits", ValueKind::Text},         {"expectednumberdigits", ValueKind::Number},
    {"receivednumberdigits", ValueKind::Number},
};

constexpr ReportColumn kLineHead[] = {
    {"line", ValueKind::Number},
    {"calls", ValueKind::Number},
    {"errors", ValueKind::Number},
    {"errorpercent", ValueKind::Number},
    {"timeinuseInSeconds", ValueKind::Number},
};

constexpr ReportColumn kOctelHead[] = {
    {"octelserialnumber", ValueKind::Text},
    {"calls", ValueKind::Number},
    {"errors", ValueKind::Number},
    {"errorpercent", ValueKind::Number},
    {"callswithininterval", ValueKind::Number},
    {"errorswithininterval", ValueKind::Number},
    {"errorpercentwithininterval", ValueKind::Number},
    {"timeinuseInSeconds", ValueKind::Number},
};

constexpr auto kAllCallsColumns = joined(kCallHead, kCallCounters, kErrorTail);
constexpr auto kLineSummaryColumns = joined(kLineHead, kCallCounters);
constexpr auto kOctelSummaryColumns = joined(kOctelHead, kCallCounters);

static_assert(std::size(kAllCallsColumns) == 30);
static_assert(std::size(kLineSummaryColumns) == 16);
static_assert(std::size(kOctelSummaryColumns) == 19);

}  // namespace

bool reportAllCallsErrors(Program& program) {
  return writeReport(program, {"AllCalls", "reportAllCallsErrors()", kAllCallsColumns}, kAllCallsQuery);
}

bool reportLineSummary(Program& program, std::string_view selection) {
  return writeReport(program, {"LineSummary", "reportLineSummary()", kLineSummaryColumns}, selection);
}

bool reportOctelSummary(Program& program, std::string_view selection) {
  return writeReport(program, {"OctelSummary", "reportOctelSummary()", kOctelSummaryColumns}, selection);
}

}  // namespace travik

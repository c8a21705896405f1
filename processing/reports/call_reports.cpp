#include "processing/reports/call_reports.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <span>
#include <string_view>

#include "processing/reports/reports.h"
#include "processing/runtime/call_counters.h"

namespace travik {

namespace {

// The per-call counters, after the call's own columns in AllCalls and after
// the totals' own columns in both totals reports.
constexpr auto kCallCounters = [] {
  std::array<ReportColumn, kCallCounterCount> columns{};
  for (std::size_t i = 0; i < kCallCounterCount; ++i) columns[i] = {kCallCounterNames[i], ValueKind::Number};
  return columns;
}();

// One column list made of several, in the order given.
template <std::size_t... N>
constexpr auto joined(const std::array<ReportColumn, N>&... parts) {
  std::array<ReportColumn, (N + ...)> all{};
  std::size_t at = 0;
  for (const std::span<const ReportColumn> part : {std::span<const ReportColumn>(parts)...})
    for (const ReportColumn& column : part) all[at++] = column;
  return all;
}

constexpr auto kCallHead = std::to_array<ReportColumn>({
    {"octelserialnumber", ValueKind::Text},
    {"timestampbegin", ValueKind::DateTime},
    {"timestampend", ValueKind::DateTime},
    {"callid", ValueKind::Text},
    {"inbound", ValueKind::Boolean},
    {"line", ValueKind::Number},
    {"durationInSeconds", ValueKind::Number},
    {"exitcode", ValueKind::Text},
    {"corvaneserialnumber", ValueKind::Text},
    {"protocollevel", ValueKind::Text},
});

constexpr auto kErrorTail = std::to_array<ReportColumn>({
    {"timestamperror", ValueKind::DateTime},
    {"state", ValueKind::Number},
    {"statetext", ValueKind::Text, true},
    {"reason", ValueKind::Number},
    {"reasontext", ValueKind::Text, true},
    {"expecteddigits", ValueKind::Text},
    {"receiveddigits", ValueKind::Text},
    {"expectednumberdigits", ValueKind::Number},
    {"receivednumberdigits", ValueKind::Number},
});

constexpr auto kLineHead = std::to_array<ReportColumn>({
    {"line", ValueKind::Number},
    {"calls", ValueKind::Number},
    {"errors", ValueKind::Number},
    {"errorpercent", ValueKind::Number},
    {"timeinuseInSeconds", ValueKind::Number},
});

constexpr auto kOctelHead = std::to_array<ReportColumn>({
    {"octelserialnumber", ValueKind::Text},
    {"calls", ValueKind::Number},
    {"errors", ValueKind::Number},
    {"errorpercent", ValueKind::Number},
    {"callswithininterval", ValueKind::Number},
    {"errorswithininterval", ValueKind::Number},
    {"errorpercentwithininterval", ValueKind::Number},
    {"timeinuseInSeconds", ValueKind::Number},
});

constexpr auto kAllCallsColumns = joined(kCallHead, kCallCounters, kErrorTail);
constexpr auto kLineSummaryColumns = joined(kLineHead, kCallCounters);
constexpr auto kOctelSummaryColumns = joined(kOctelHead, kCallCounters);

static_assert(std::size(kAllCallsColumns) == 30);
static_assert(std::size(kLineSummaryColumns) == 16);
static_assert(std::size(kOctelSummaryColumns) == 19);

// Whether a query's select list names the columns in their order, each
// perhaps after its table's name: the AllCalls query keeps its own text, so
// the report's header is held to it here.
constexpr bool selectsInOrder(std::string_view query, std::span<const ReportColumn> columns) {
  constexpr std::string_view kSelect = "select ";
  const std::size_t from = query.find(" from ");
  if (!query.starts_with(kSelect) || from == std::string_view::npos) return false;
  std::string_view list = query.substr(kSelect.size(), from - kSelect.size());
  for (const ReportColumn& column : columns) {
    const std::size_t comma = list.find(", ");
    std::string_view item = list.substr(0, comma);
    if (const std::size_t dot = item.find('.'); dot != std::string_view::npos) item.remove_prefix(dot + 1);
    if (item != column.name) return false;
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 2);
  }
  return list.empty();
}
static_assert(selectsInOrder(kAllCallsQuery, kAllCallsColumns));

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

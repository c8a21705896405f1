#include "bench/traffic_expectations.h"

#include <fstream>
#include <set>
#include <stdexcept>
#include <unordered_set>

#include "bench/traffic_summary.h"

namespace travik::traffic {

namespace {

// Splits one CSV row; fields may be quoted with doubled quotes inside.
std::vector<std::string> csvFields(const std::string& row) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < row.size(); ++i) {
    const char c = row[i];
    if (quoted) {
      if (c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// A summary file read row by row: its header's columns, then each non-blank
// line without its line end.
class SummaryLines {
 public:
  explicit SummaryLines(const std::filesystem::path& file) : in_(file, std::ios::binary) {
    if (!in_) throw std::runtime_error("cannot read the summary " + file.string());
    std::string header;
    std::getline(in_, header);
    columns = csvFields(header);
  }

  bool next(std::string& line) {
    while (std::getline(in_, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) return true;
    }
    return false;
  }

  std::vector<std::string> columns;

 private:
  std::ifstream in_;
};

// Summary columns that hold text; every other one is a number.
const std::set<std::string>& textColumns() {
  static const std::set<std::string> columns{
      "callid",         "timestampbegin",    "timestampend",        "exitcode",
      "scenario",       "octelserialnumber", "corvaneserialnumber", "protocollevel",
      "expecteddigits", "receiveddigits"};
  return columns;
}

// The per-call view of the four call tables, under the summary's column names.
constexpr const char* kActualCalls = R"(
select c.callid as callid, c.line as line, c.inbound as inbound, c.timestampbegin as timestampbegin,
       c.timestampend as timestampend, c.durationInSeconds as durationInSeconds, c.exitcode as exitcode,
       c.octelserialnumber as octelserialnumber, c.corvaneserialnumber as corvaneserialnumber,
       c.protocollevel as protocollevel, c.msgsendattempt as msgsendattempt, c.msgsendsuccess as msgsendsuccess,
       c.msgreceiveattempt as msgreceiveattempt, c.msgreceivesuccess as msgreceivesuccess,
       c.numberrecipientssent as numberrecipientssent, c.adminnamesrequested as adminnamesrequested,
       c.textnamesreceived as textnamesreceived, c.voicenamesreceived as voicenamesreceived,
       c.adminnamerequestsrecd as adminnamerequestsrecd, c.textnamessent as textnamessent,
       c.voicenamessent as voicenamessent,
       (select count(*) from tasks t where t.callid = c.callid) as tasks,
       (select count(*) from tasks t where t.callid = c.callid and t.tasktype like '% [Incomplete]') as incompletetasks,
       (select count(*) from tasks t where t.callid = c.callid and t.fax <> 0) as faxtasks,
       (select count(*) from recipients r where r.callid = c.callid) as recipients,
       (select count(*) from recipients r where r.callid = c.callid and r.rejected <> 0) as rejectedrecipients,
       e.state as state, e.reason as reason, e.expecteddigits as expecteddigits, e.receiveddigits as receiveddigits,
       e.expectednumberdigits as expectednumberdigits, e.receivednumberdigits as receivednumberdigits
from calls c left join errors e on e.callid = c.callid
)";

}  // namespace

std::vector<SummaryRow> readSummary(const std::filesystem::path& file) {
  SummaryLines summary(file);
  const std::vector<std::string>& columns = summary.columns;
  std::vector<SummaryRow> rows;
  for (std::string line; summary.next(line);) {
    const std::vector<std::string> fields = csvFields(line);
    if (fields.size() != columns.size())
      throw std::runtime_error("summary row with " + std::to_string(fields.size()) + " fields: " + line);
    SummaryRow row;
    for (std::size_t i = 0; i < columns.size(); ++i) row[columns[i]] = fields[i];
    rows.push_back(std::move(row));
  }
  return rows;
}

CallComparison compareCalls(db::Connection& database, const std::filesystem::path& summaryFile,
                            std::size_t maxDifferences) {
  CallComparison result;
  auto note = [&](const std::string& text) {
    if (result.differences.size() < maxDifferences) result.differences.push_back(text);
  };
  SummaryLines summary(summaryFile);
  const std::vector<std::string>& columns = summary.columns;
  if (columns != summaryColumns()) throw std::runtime_error(summaryFile.string() + " is not a traffic summary");
  const std::size_t scenarioAt = 7;  // the one column that is not in the tables

  auto actual = database.prepare(std::string(kActualCalls) + " where c.callid = ?1");
  std::unordered_set<std::string> expectedIds;
  for (std::string line; summary.next(line);) {
    const std::vector<std::string> want = csvFields(line);
    if (want.size() != columns.size()) throw std::runtime_error("summary row with a wrong field count: " + line);
    ++result.expected;
    const std::string& id = want[0];
    expectedIds.insert(id);
    const std::string label = id + " (" + want[scenarioAt] + ")";
    actual.reset();
    actual.bind(1, id);
    if (!actual.step()) {
      note(label + ": no calls row");
      continue;
    }
    bool same = true;
    for (std::size_t i = 1, column = 1; i < columns.size(); ++i) {
      if (i == scenarioAt) continue;
      const int at = static_cast<int>(column++);
      const std::string got = actual.isNull(at) ? (textColumns().count(columns[i]) ? "" : "0") : actual.getText(at);
      if (got != want[i]) {
        same = false;
        note(label + ": " + columns[i] + " is \"" + got + "\", expected \"" + want[i] + "\"");
      }
    }
    if (actual.step()) {
      same = false;
      note(label + ": more than one calls row");
    }
    if (same) ++result.matching;
  }
  auto all = database.prepare("select callid, exitcode from calls");
  while (all.step()) {
    ++result.actual;
    const std::string id = all.isNull(0) ? "" : all.getText(0);
    if (!expectedIds.count(id))
      note(id + ": a calls row the generator did not make (exit code " + (all.isNull(1) ? "" : all.getText(1)) + ")");
  }
  return result;
}

}  // namespace travik::traffic

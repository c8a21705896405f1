#include "bench/traffic_summary.h"

#include <stdexcept>

#include "processing/text/date_time.h"

namespace travik::traffic {

namespace {

std::string stored(Millis time) { return DateTime::fromSerialSeconds(time / 1000).toStored(); }

// Quoted only when needed, so that no field shifts.
std::string field(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

const std::vector<std::string>& summaryColumns() {
  static const std::vector<std::string> columns{"callid",
                                                "line",
                                                "inbound",
                                                "timestampbegin",
                                                "timestampend",
                                                "durationInSeconds",
                                                "exitcode",
                                                "scenario",
                                                "octelserialnumber",
                                                "corvaneserialnumber",
                                                "protocollevel",
                                                "msgsendattempt",
                                                "msgsendsuccess",
                                                "msgreceiveattempt",
                                                "msgreceivesuccess",
                                                "numberrecipientssent",
                                                "adminnamesrequested",
                                                "textnamesreceived",
                                                "voicenamesreceived",
                                                "adminnamerequestsrecd",
                                                "textnamessent",
                                                "voicenamessent",
                                                "tasks",
                                                "incompletetasks",
                                                "faxtasks",
                                                "recipients",
                                                "rejectedrecipients",
                                                "state",
                                                "reason",
                                                "expecteddigits",
                                                "receiveddigits",
                                                "expectednumberdigits",
                                                "receivednumberdigits"};
  return columns;
}

std::string summaryRow(const ExpectedCall& c) {
  const std::vector<std::string> values{c.callid(),
                                        std::to_string(c.line),
                                        c.inbound ? "1" : "0",
                                        stored(c.begin),
                                        stored(c.end),
                                        std::to_string(c.durationInSeconds()),
                                        c.exitcode,
                                        c.scenario,
                                        c.octelserialnumber,
                                        c.corvaneserialnumber,
                                        c.protocollevel,
                                        std::to_string(c.msgsendattempt),
                                        std::to_string(c.msgsendsuccess),
                                        std::to_string(c.msgreceiveattempt),
                                        std::to_string(c.msgreceivesuccess),
                                        std::to_string(c.numberrecipientssent),
                                        std::to_string(c.adminnamesrequested),
                                        std::to_string(c.textnamesreceived),
                                        std::to_string(c.voicenamesreceived),
                                        std::to_string(c.adminnamerequestsrecd),
                                        std::to_string(c.textnamessent),
                                        std::to_string(c.voicenamessent),
                                        std::to_string(c.tasks),
                                        std::to_string(c.incompleteTasks),
                                        std::to_string(c.faxTasks),
                                        std::to_string(c.recipients),
                                        std::to_string(c.rejectedRecipients),
                                        std::to_string(c.errorState),
                                        std::to_string(c.errorReason),
                                        c.expectedDigits,
                                        c.receivedDigits,
                                        std::to_string(c.expectedCount),
                                        std::to_string(c.receivedCount)};
  std::string row;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) row += ',';
    row += field(values[i]);
  }
  return row;
}

SummaryWriter::SummaryWriter(const std::filesystem::path& file) : file_(file), out_(file, std::ios::binary) {
  if (!out_) throw std::runtime_error("cannot create the summary file " + file.string());
  const auto& columns = summaryColumns();
  for (std::size_t i = 0; i < columns.size(); ++i) out_ << (i ? "," : "") << columns[i];
  out_ << '\n';
}

void SummaryWriter::add(const ExpectedCall& call) {
  out_ << summaryRow(call) << '\n';
  for (CallTally* tally : {&total, &perLine[call.line], &perNode[call.octelserialnumber], &perExitCode[call.exitcode],
                           &perScenario[call.scenario]}) {
    ++tally->calls;
    if (call.failed()) ++tally->failed;
    if (call.inbound) ++tally->inbound;
  }
}

void SummaryWriter::close() {
  out_.close();
  if (!out_) throw std::runtime_error("cannot complete the summary file " + file_.string());
}

}  // namespace travik::traffic

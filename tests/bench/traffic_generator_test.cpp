// The synthetic gateway: trace layout, files, determinism and the summary.
#include "bench/traffic_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "bench/traffic_summary.h"
#include "bench/traffic_trace_writer.h"
#include "processing/runtime/file_times.h"
#include "tests/support/test_program.h"

namespace travik::traffic {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

TrafficOptions smallGateway(const fs::path& folder, std::uint64_t seed = 11) {
  TrafficOptions options;
  options.folder = folder;
  options.lines = 12;
  options.hours = 3;
  options.end = DateTime(2005, 4, 12, 12, 0, 0);
  options.seed = seed;
  options.maxFileBytes = 60000;
  return options;
}

std::vector<fs::path> traceFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind("MVLOG.", 0) == 0) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Trace lines of a file, split at CR LF; fails the test on any other line end.
std::vector<std::string> linesOf(const fs::path& file) {
  const std::string bytes = bytesOf(file);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << file << " ends without CR LF";
    if (end == std::string::npos) break;
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string latin1ToUtf8(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// An event as the trace-log parser cuts it from a line: the system's pattern,
// fields at fixed positions from the start of the match.
struct ParsedLine {
  Millis time = 0;
  int line = 0;
  std::string text;
};

bool digitsAt(const std::string& text, std::size_t from, std::size_t count) {
  if (from + count > text.size()) return false;
  for (std::size_t i = from; i < from + count; ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

// "YYYY/MM/DD-HH:MM:SS.mmm " at a position.
bool stampAt(const std::string& text, std::size_t p) {
  return digitsAt(text, p, 4) && text[p + 4] == '/' && digitsAt(text, p + 5, 2) && text[p + 7] == '/' &&
         digitsAt(text, p + 8, 2) && text[p + 10] == '-' && digitsAt(text, p + 11, 2) && text[p + 13] == ':' &&
         digitsAt(text, p + 14, 2) && text[p + 16] == ':' && digitsAt(text, p + 17, 2) && text[p + 19] == '.' &&
         digitsAt(text, p + 20, 3) && p + 23 < text.size() && text[p + 23] == ' ';
}

// The first stretch that matches the trace pattern: a time stamp and, after
// it, " Line " with one or two digits and ": "; the match runs to the end.
std::optional<std::string> traceMatch(const std::string& raw) {
  for (std::size_t p = 0; p + 24 <= raw.size(); ++p) {
    if (!stampAt(raw, p)) continue;
    for (std::size_t q = raw.find(" Line ", p + 23); q != std::string::npos; q = raw.find(" Line ", q + 1)) {
      const std::size_t d = q + 6;
      if ((digitsAt(raw, d, 1) && raw.compare(d + 1, 2, ": ") == 0) ||
          (digitsAt(raw, d, 2) && raw.compare(d + 2, 2, ": ") == 0))
        return raw.substr(p);
    }
  }
  return std::nullopt;
}

std::optional<ParsedLine> parseTraceLine(const std::string& raw) {
  const auto match = traceMatch(raw);
  if (!match) return std::nullopt;
  const std::string& m = *match;
  auto number = [&](std::size_t from, std::size_t count) { return std::stoi(m.substr(from - 1, count)); };
  const auto when =
      DateTime::fromFields(number(1, 4), number(6, 2), number(9, 2), number(12, 2), number(15, 2), number(18, 2));
  EXPECT_TRUE(when) << raw;
  ParsedLine parsed;
  parsed.time = when->serialSeconds() * 1000 + number(21, 3);
  const bool twoDigits = std::isdigit(static_cast<unsigned char>(m[39])) != 0;
  EXPECT_EQ(m.substr(33, 5), "Line ") << raw;
  parsed.line = twoDigits ? number(39, 2) : number(39, 1);
  std::string text = m.substr(twoDigits ? 42 : 41);
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  parsed.text = latin1ToUtf8(text);
  return parsed;
}

std::vector<std::map<std::string, std::string>> summaryRows(const fs::path& file) {
  std::ifstream in(file);
  std::string header, row;
  std::getline(in, header);
  std::vector<std::string> columns;
  std::stringstream names(header);
  for (std::string name; std::getline(names, name, ',');) columns.push_back(name);
  std::vector<std::map<std::string, std::string>> rows;
  while (std::getline(in, row)) {
    std::map<std::string, std::string> values;
    std::stringstream fields(row);
    std::string value;
    for (const auto& column : columns) {
      std::getline(fields, value, ',');
      values[column] = value;
    }
    rows.push_back(values);
  }
  return rows;
}

TEST(TrafficGenerator, SameOptionsGiveTheSameBytesAndAnotherSeedOthers) {
  TempFolder a, b, c;
  generateTraffic(smallGateway(a.path() / "t"));
  generateTraffic(smallGateway(b.path() / "t"));
  generateTraffic(smallGateway(c.path() / "t", 12));
  const auto filesA = traceFiles(a.path() / "t"), filesB = traceFiles(b.path() / "t");
  ASSERT_GT(filesA.size(), 1u);
  ASSERT_EQ(filesA.size(), filesB.size());
  for (std::size_t i = 0; i < filesA.size(); ++i) {
    EXPECT_EQ(filesA[i].filename(), filesB[i].filename());
    EXPECT_EQ(bytesOf(filesA[i]), bytesOf(filesB[i])) << filesA[i];
    EXPECT_EQ(fileModificationTime(filesA[i]), fileModificationTime(filesB[i]));
  }
  EXPECT_EQ(bytesOf(a.path() / "t" / "traffic-summary.csv"), bytesOf(b.path() / "t" / "traffic-summary.csv"));
  EXPECT_NE(bytesOf(a.path() / "t" / "traffic-summary.csv"), bytesOf(c.path() / "t" / "traffic-summary.csv"));
}

TEST(TrafficGenerator, EveryLineParsesBackToTheEventItReported) {
  TempFolder temp;
  std::vector<ParsedLine> reported;
  const auto result = generateTraffic(smallGateway(temp.path()), [&](const TraceEvent& e) {
    reported.push_back({e.time, e.line, std::string(e.text)});
  });
  std::vector<ParsedLine> parsed;
  std::uint64_t notices = 0, lines = 0;
  for (const auto& file : traceFiles(temp.path())) {
    for (const auto& raw : linesOf(file)) {
      ++lines;
      EXPECT_EQ(raw.find_first_of("\r\n"), std::string::npos);
      EXPECT_EQ(raw.rfind(" MVLOG 0000 0000 ", 0), 0u) << raw;
      if (auto event = parseTraceLine(raw))
        parsed.push_back(*event);
      else
        ++notices;
    }
  }
  EXPECT_EQ(lines, result.traceLines);
  EXPECT_GT(notices, 0u);  // gateway notices without a line are in the trace and are skipped
  ASSERT_EQ(parsed.size(), reported.size());
  ASSERT_EQ(parsed.size(), result.events);
  for (std::size_t i = 0; i < parsed.size(); ++i) {
    EXPECT_EQ(parsed[i].time, reported[i].time) << i;
    EXPECT_EQ(parsed[i].line, reported[i].line) << i;
    EXPECT_EQ(parsed[i].text, reported[i].text) << i;
    EXPECT_LE(parsed[i].text.size(), 254u);
  }
}

TEST(TrafficGenerator, TwoDigitLinesShiftTheTextByOnePosition) {
  const std::string one = traceLine(DateTime(2005, 4, 1, 9, 15, 2).serialSeconds() * 1000 + 107, 7, "Call Received.");
  const std::string two = traceLine(DateTime(2005, 4, 1, 9, 15, 2).serialSeconds() * 1000 + 112, 12, "Call Received.");
  EXPECT_EQ(one.substr(17), "2005/04/01-09:15:02.107 00000A8C Line 7: Call Received. \r\n");
  EXPECT_EQ(two.substr(17, 46), "2005/04/01-09:15:02.112 00000AF0 Line 12: Call");
  EXPECT_EQ(toGatewayCodePage("Jos\u00e9 Zo\u00eb"), "Jos\xe9 Zo\xeb");
}

TEST(TrafficGenerator, EventTimesAreUniqueOrderedAndInsideTheSpan) {
  TempFolder temp;
  const TrafficOptions options = smallGateway(temp.path());
  std::vector<TraceEvent> events;
  std::vector<std::string> texts;
  generateTraffic(options, [&](const TraceEvent& e) { events.push_back({e.time, e.line, {}}); });
  const Millis end = options.end.serialSeconds() * 1000;
  std::set<Millis> seen;
  std::map<int, Millis> lastOfLine;
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_TRUE(seen.insert(events[i].time).second) << "two events at one time";
    if (i) {
      EXPECT_GT(events[i].time, events[i - 1].time);
    }
    EXPECT_LE(events[i].time, end);
    EXPECT_GE(events[i].time, end - 3 * 3600 * 1000);
    EXPECT_EQ(events[i].time % 100, events[i].line % 100);
    lastOfLine[events[i].line] = events[i].time;
  }
  EXPECT_EQ(lastOfLine.size(), 12u);
}

// An event whose successor the call machines look at: a digit string or the
// wake-up tone that only the next event confirms.
bool looksAhead(const std::string& text) {
  for (const char* prefix : {"Received ", "Playing "}) {
    const std::size_t n = std::strlen(prefix);
    if (text.rfind(prefix, 0) == 0 && text.size() > n + 1 && digitsAt(text, n, text.size() - n)) return true;
  }
  return text == "Playing BD";
}

TEST(TrafficGenerator, NoFileEndsWhereAMachineLooksAtTheNextEvent) {
  TempFolder temp;
  TrafficOptions options = smallGateway(temp.path());
  options.maxFileBytes = 5000;
  generateTraffic(options);
  const auto files = traceFiles(temp.path());
  ASSERT_GT(files.size(), 50u);
  std::map<int, std::string> lastOfLine;
  for (const auto& file : files) {
    for (const auto& raw : linesOf(file))
      if (auto event = parseTraceLine(raw)) lastOfLine[event->line] = event->text;
    for (const auto& [line, text] : lastOfLine)
      EXPECT_FALSE(looksAhead(text)) << file << " line " << line << ": " << text;
  }
}

TEST(TrafficGenerator, FilesRollOverBySizeAtASecondBoundaryWithNameOrderAsTimeOrder) {
  TempFolder temp;
  const auto result = generateTraffic(smallGateway(temp.path()));
  const auto files = traceFiles(temp.path());
  ASSERT_GT(files.size(), 3u);
  EXPECT_EQ(files, result.files);  // the order of writing is the order of names
  Millis previousLast = -1;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::vector<Millis> times;
    for (const auto& raw : linesOf(files[i])) {
      const auto when = DateTime::fromFields(std::stoi(raw.substr(17, 4)), std::stoi(raw.substr(22, 2)),
                                             std::stoi(raw.substr(25, 2)), std::stoi(raw.substr(28, 2)),
                                             std::stoi(raw.substr(31, 2)), std::stoi(raw.substr(34, 2)));
      times.push_back(when->serialSeconds() * 1000 + std::stoi(raw.substr(37, 3)));
    }
    ASSERT_FALSE(times.empty());
    EXPECT_EQ(files[i].filename().string(), traceFileName(times.front()));
    if (i + 1 < files.size()) {
      EXPECT_GE(fs::file_size(files[i]), 60000u);
    }
    // No file ends in the second in which the next one begins.
    if (previousLast >= 0) {
      EXPECT_GT(times.front() / 1000, previousLast / 1000);
    }
    // The modification time is the last line's second.
    EXPECT_EQ(fileModificationTime(files[i]), DateTime::fromSerialSeconds(times.back() / 1000)) << files[i];
    previousLast = times.back();
  }
}

TEST(TrafficGenerator, SummaryDescribesEveryCallFromItsOpeningEvent) {
  TempFolder temp;
  std::map<int, std::vector<ParsedLine>> byLine;
  const auto result = generateTraffic(smallGateway(temp.path()), [&](const TraceEvent& e) {
    byLine[e.line].push_back({e.time, e.line, std::string(e.text)});
  });
  const auto rows = summaryRows(result.summaryFile);
  ASSERT_EQ(rows.size(), result.calls);
  ASSERT_GT(result.failedCalls, 0u);
  std::map<int, std::string> previousEnd;
  std::uint64_t failed = 0, inbound = 0;
  for (const auto& row : rows) {
    const int line = std::stoi(row.at("line"));
    const std::string& id = row.at("callid");
    EXPECT_TRUE(id.size() == 27 && digitsAt(id, 0, 8) && id[8] == '.' && digitsAt(id, 9, 6) && id[15] == '.' &&
                digitsAt(id, 16, 3) && id.substr(19, 5) == ".001." && digitsAt(id, 24, 3))
        << id;
    EXPECT_EQ(std::stoi(row.at("callid").substr(24)), line);
    // The opening event: on the call's line, at the call's begin time.
    const auto& events = byLine[line];
    const auto opening = std::find_if(events.begin(), events.end(), [&](const ParsedLine& e) {
      ExpectedCall call;
      call.line = line;
      call.begin = e.time;
      return call.callid() == row.at("callid");
    });
    ASSERT_NE(opening, events.end()) << row.at("callid");
    EXPECT_EQ(DateTime::fromSerialSeconds(opening->time / 1000).toStored(), row.at("timestampbegin"));
    if (row.at("inbound") == "1") {
      ++inbound;
      EXPECT_EQ(opening->text, "Call Received.");
    } else {
      const std::string& t = opening->text;
      EXPECT_TRUE(t.rfind("Call Out Process Initiated for Node ", 0) == 0 ||
                  t.rfind("Processing Pending Callout to Node ", 0) == 0 ||
                  t.rfind("Processing messages from node: ", 0) == 0 || t == "Call Status = Answer")
          << t;
    }
    // A call opens at least one second after everything before it on its line.
    if (opening != events.begin()) {
      EXPECT_LT(std::prev(opening)->time / 1000, opening->time / 1000);
    }
    if (previousEnd.count(line)) {
      EXPECT_GT(row.at("timestampbegin"), previousEnd[line]);
    }
    previousEnd[line] = row.at("timestampend");
    EXPECT_LE(row.at("timestampbegin"), row.at("timestampend"));
    // A successful call ends on the event that closes it, not on a notice.
    const std::string& exit = row.at("exitcode");
    if (exit.rfind("OK", 0) == 0) {
      const bool closed = std::any_of(opening, events.end(), [&](const ParsedLine& e) {
        const bool closing = exit == "OK (NO INIT)"
                                 ? e.text == "No messages to deliver" || e.text == "No names to retrieve"
                                 : e.text == "Incoming Call Completed." || e.text == "Call Out Completed." ||
                                       (e.text.rfind("Processing messages from node:", 0) == 0 &&
                                        e.text.find("Done") != std::string::npos);
        return closing && DateTime::fromSerialSeconds(e.time / 1000).toStored() == row.at("timestampend");
      });
      EXPECT_TRUE(closed) << row.at("callid") << " does not end on its closing event";
    }
    const auto begin = DateTime::parseStored(row.at("timestampbegin")),
               end = DateTime::parseStored(row.at("timestampend"));
    EXPECT_EQ(std::to_string(begin->secondsUntil(*end)), row.at("durationInSeconds"));
    const std::string exitcode = row.at("exitcode");
    if (exitcode.size() == 9 && exitcode[0] == 'E' && digitsAt(exitcode, 1, 8)) {
      ++failed;
      EXPECT_EQ(std::stoi(exitcode.substr(1, 4)), std::stoi(row.at("state")));
      EXPECT_EQ(std::stoi(exitcode.substr(5, 4)), std::stoi(row.at("reason")));
    } else {
      EXPECT_TRUE(exitcode == "OK" || exitcode == "OK (NO INIT)") << exitcode;
      EXPECT_EQ(row.at("state"), "0");
    }
    EXPECT_LE(std::stoi(row.at("incompletetasks")), std::stoi(row.at("tasks")));
    EXPECT_LE(std::stoi(row.at("rejectedrecipients")), std::stoi(row.at("recipients")));
  }
  EXPECT_EQ(failed, result.failedCalls);
  EXPECT_EQ(inbound, result.inboundCalls);
}

TEST(TrafficGenerator, TotalsFileAddsUpToTheSummary) {
  TempFolder temp;
  const auto result = generateTraffic(smallGateway(temp.path()));
  std::ifstream in(result.totalsFile);
  std::uint64_t perLine = 0, perNode = 0, lineEntries = 0;
  for (std::string text; std::getline(in, text);) {
    const bool line = text.rfind("line ", 0) == 0, node = text.rfind("node ", 0) == 0;
    const std::size_t calls = text.find(": calls ");
    if ((line || node) && calls != std::string::npos) {
      (line ? perLine : perNode) += std::stoull(text.substr(calls + 8));
      lineEntries += line;
    }
  }
  EXPECT_EQ(lineEntries, 12u);
  EXPECT_EQ(perLine, result.calls);
  EXPECT_EQ(perNode, result.calls);
}

TEST(TrafficGenerator, FailureShareFollowsTheOption) {
  TempFolder none, all;
  TrafficOptions options = smallGateway(none.path());
  options.failurePercent = 0;
  EXPECT_EQ(generateTraffic(options).failedCalls, 0u);
  options = smallGateway(all.path());
  options.failurePercent = 100;
  const auto result = generateTraffic(options);
  for (const auto& row : summaryRows(result.summaryFile)) {
    // A failing call may be followed at once by its successful redial.
    if (row.at("scenario") == "out.redial") continue;
    EXPECT_EQ(row.at("exitcode")[0], 'E') << row.at("scenario");
  }
}

TEST(TrafficGenerator, AddingLinesLeavesTheTrafficOfTheOtherLinesAlone) {
  TempFolder two, more;
  TrafficOptions options = smallGateway(two.path());
  options.lines = 2;
  std::vector<std::string> twoLines, moreLines;
  generateTraffic(options,
                  [&](const TraceEvent& e) { twoLines.push_back(std::to_string(e.time) + std::string(e.text)); });
  options.folder = more.path();
  options.lines = 9;
  generateTraffic(options, [&](const TraceEvent& e) {
    if (e.line <= 2) moreLines.push_back(std::to_string(e.time) + std::string(e.text));
  });
  EXPECT_EQ(twoLines, moreLines);
}

TEST(TrafficGenerator, AccentedNamesReachTheFileInTheGatewayCodePage) {
  TempFolder temp;
  TrafficOptions options = smallGateway(temp.path());
  options.hours = 8;
  bool accented = false;
  generateTraffic(options,
                  [&](const TraceEvent& e) { accented = accented || e.text.find("\u00e9") != std::string_view::npos; });
  ASSERT_TRUE(accented);
  std::string all;
  for (const auto& file : traceFiles(temp.path())) all += bytesOf(file);
  EXPECT_NE(all.find("Jos\xe9 Ortega"), std::string::npos);
  EXPECT_EQ(all.find("\xc3\xa9"), std::string::npos);
}

// Asked for, the cases a reader of a live folder must take all come, and the
// trace stays one: a line's events still strictly increase, file names still
// follow their first line's time, each file's time is its last line's second.
TEST(TrafficGenerator, TheHardCasesOfALiveFolderComeWhenAskedFor) {
  TempFolder temp;
  TrafficOptions options = smallGateway(temp.path());
  options.lines = 4;
  options.maxFileBytes = 5000;
  options.backToBackCalls = options.sharedMilliseconds = options.rollOverAnywhere = true;
  std::map<int, Millis> lastOfLine;
  Millis previous = -1;
  int sharedStamps = 0;
  const auto result = generateTraffic(options, [&](const TraceEvent& e) {
    if (lastOfLine.count(e.line)) {
      EXPECT_GT(e.time, lastOfLine[e.line]);
    }
    lastOfLine[e.line] = e.time;
    sharedStamps += e.time == previous;
    previous = e.time;
  });
  EXPECT_GT(sharedStamps, 0);

  std::map<int, std::string> previousEnd;
  int backToBack = 0;
  auto rows = summaryRows(result.summaryFile);
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return std::stoi(a.at("line")) < std::stoi(b.at("line")); });
  for (const auto& row : rows) {
    const int line = std::stoi(row.at("line"));
    backToBack += previousEnd.count(line) && previousEnd[line] == row.at("timestampbegin");
    previousEnd[line] = row.at("timestampend");
  }
  EXPECT_GT(backToBack, 0);

  const auto files = traceFiles(temp.path());
  ASSERT_EQ(files, result.files);
  int endsBeforeALookAhead = 0, endsInTheNextFilesSecond = 0;
  std::map<int, std::string> lastText;
  Millis lastOfPreviousFile = -1;
  for (const auto& file : files) {
    const auto lines = linesOf(file);
    ASSERT_FALSE(lines.empty());
    const Millis first = traceLineTime(lines.front()), last = traceLineTime(lines.back());
    EXPECT_EQ(file.filename().string(), traceFileName(first));
    EXPECT_EQ(fileModificationTime(file), DateTime::fromSerialSeconds(last / 1000)) << file;
    endsInTheNextFilesSecond += lastOfPreviousFile / 1000 == first / 1000;
    lastOfPreviousFile = last;
    for (const auto& raw : lines)
      if (auto event = parseTraceLine(raw)) lastText[event->line] = event->text;
    endsBeforeALookAhead +=
        std::any_of(lastText.begin(), lastText.end(), [](const auto& last) { return looksAhead(last.second); });
  }
  EXPECT_GT(endsBeforeALookAhead, 0);
  EXPECT_GT(endsInTheNextFilesSecond, 0);
}

TEST(TrafficGenerator, AClockSetBackStepsTheStampsBackOnceAndAnEventAheadStandsAlone) {
  for (std::uint64_t seed : {3, 4, 5}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempFolder plain, lying;
    TrafficOptions options = smallGateway(plain.path(), seed);
    options.lines = 3;
    const auto truth = generateTraffic(options);
    options.folder = lying.path();
    options.clockSetBackSeconds = 1800;
    options.stampAheadHours = 7;
    const auto result = generateTraffic(options);
    // The same lines, in the same order, with other stamps.
    std::vector<Millis> trueTimes, stamps;
    for (const auto& [files, times] : {std::pair{&truth.files, &trueTimes}, std::pair{&result.files, &stamps}})
      for (const auto& file : *files)
        for (const auto& raw : linesOf(file)) times->push_back(traceLineTime(raw));
    ASSERT_EQ(stamps.size(), trueTimes.size());
    int ahead = 0, setBack = 0, shifted = 0;
    for (std::size_t i = 0; i < stamps.size(); ++i) {
      const Millis shift = stamps[i] - trueTimes[i];
      if (shift == 7 * 3600000 - 1800000 || shift == 7 * 3600000)
        ++ahead;
      else if (shift == -1800000)
        setBack += i == 0 || stamps[i - 1] - trueTimes[i - 1] == 0;
      else
        EXPECT_EQ(shift, 0) << "line " << i;
      shifted += shift != 0;
    }
    EXPECT_EQ(ahead, 1);
    EXPECT_LE(setBack, 1);  // once, unless the moment fell after the last line
    for (const auto& file : result.files)
      EXPECT_EQ(fileModificationTime(file), DateTime::fromSerialSeconds(traceLineTime(linesOf(file).back()) / 1000));
    EXPECT_GT(shifted, 1);
  }
}

TEST(TrafficGenerator, RefusesAFolderThatAlreadyHoldsTraceFiles) {
  TempFolder temp;
  test::writeFile(temp.path() / "mvlog.001", "old trace\r\n");
  EXPECT_THROW(generateTraffic(smallGateway(temp.path())), std::runtime_error);
  EXPECT_EQ(traceFiles(temp.path()).size(), 0u);
  EXPECT_EQ(bytesOf(temp.path() / "mvlog.001"), "old trace\r\n");
  EXPECT_FALSE(fs::exists(temp.path() / "traffic-summary.csv"));
}

TEST(TrafficGeneratorArguments, ReadsTheCommandLine) {
  const DateTime now(2006, 1, 2, 3, 4, 5);
  auto parsed = parseTrafficArguments({"--out", "/tmp/x", "--lines", "24", "--hours", "1.5", "--end", "now", "--seed",
                                       "42", "--calls-per-hour", "30", "--max-file-bytes", "1000", "--failures", "5"},
                                      now);
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.folder, "/tmp/x");
  EXPECT_EQ(parsed.options.lines, 24);
  EXPECT_EQ(parsed.options.hours, 1.5);
  EXPECT_EQ(parsed.options.end, now);
  EXPECT_EQ(parsed.options.seed, 42u);
  EXPECT_EQ(parsed.options.callsPerHour, 30);
  EXPECT_EQ(parsed.options.maxFileBytes, 1000u);
  EXPECT_EQ(parsed.options.failurePercent, 5);

  parsed = parseTrafficArguments(
      {"--out", "x", "--lines", "1", "--hours", "2", "--end", "2005-04-01 10:00:00", "--seed", "0"}, now);
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.end, DateTime(2005, 4, 1, 10, 0, 0));
  EXPECT_TRUE(parseTrafficArguments({"--help"}, now).help);
}

TEST(TrafficGeneratorArguments, RejectsBadValuesWithAClearText) {
  const DateTime now(2006, 1, 2, 3, 4, 5);
  const std::vector<std::string> good{"--out", "x", "--lines", "4", "--hours", "2", "--end", "now", "--seed", "1"};
  auto with = [&](const std::string& option, const std::string& value) {
    auto arguments = good;
    const auto at = std::find(arguments.begin(), arguments.end(), option);
    if (at != arguments.end()) {
      *(at + 1) = value;
    } else {
      arguments.push_back(option);
      arguments.push_back(value);
    }
    return parseTrafficArguments(arguments, now).error;
  };
  EXPECT_EQ(parseTrafficArguments(good, now).error, "");
  EXPECT_NE(with("--lines", "0"), "");
  EXPECT_NE(with("--lines", "100"), "");
  EXPECT_NE(with("--lines", "two"), "");
  EXPECT_NE(with("--hours", "0"), "");
  EXPECT_NE(with("--hours", "-1"), "");
  EXPECT_NE(with("--end", "2005-13-01 10:00:00"), "");
  EXPECT_NE(with("--end", "2005-04-01"), "");
  EXPECT_NE(with("--seed", "-3"), "");
  EXPECT_NE(with("--calls-per-hour", "0"), "");
  EXPECT_NE(with("--failures", "101"), "");
  EXPECT_NE(with("--colour", "blue"), "");
  EXPECT_NE(with("--out", "--version"), "");  // an option is never taken for the folder
  EXPECT_NE(parseTrafficArguments({"--out", "x", "--lines", "4"}, now).error, "");
  EXPECT_NE(parseTrafficArguments({"--out"}, now).error, "");
}

TEST(TrafficGeneratorArguments, ReadsTheSwitchesOfTheHardCases) {
  const DateTime now(2006, 1, 2, 3, 4, 5);
  const std::vector<std::string> good{"--out", "x", "--lines", "4", "--hours", "2", "--end", "now", "--seed", "1"};
  auto parsed = parseTrafficArguments(good, now);
  EXPECT_FALSE(parsed.options.backToBackCalls || parsed.options.sharedMilliseconds || parsed.options.rollOverAnywhere);
  EXPECT_EQ(parsed.options.folderStates, 0);

  // Switches take no value and may stand between other options.
  auto arguments = good;
  arguments.insert(arguments.begin() + 2,
                   {"--back-to-back", "--folder-states", "7", "--shared-milliseconds", "--roll-over-anywhere"});
  parsed = parseTrafficArguments(arguments, now);
  ASSERT_EQ(parsed.error, "");
  EXPECT_TRUE(parsed.options.backToBackCalls && parsed.options.sharedMilliseconds && parsed.options.rollOverAnywhere);
  EXPECT_EQ(parsed.options.folderStates, 7);
  EXPECT_EQ(parsed.options.lines, 4);

  arguments = good;
  arguments.insert(arguments.end(), {"--folder-states", "1000"});
  EXPECT_NE(parseTrafficArguments(arguments, now).error, "");

  arguments = good;
  arguments.insert(arguments.end(), {"--clock-set-back", "3600", "--stamp-ahead", "23"});
  parsed = parseTrafficArguments(arguments, now);
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.clockSetBackSeconds, 3600);
  EXPECT_EQ(parsed.options.stampAheadHours, 23);
  for (const auto& [name, value] : {std::pair{"--clock-set-back", "3601"}, std::pair{"--stamp-ahead", "24"}}) {
    arguments = good;
    arguments.insert(arguments.end(), {name, value});
    EXPECT_NE(parseTrafficArguments(arguments, now).error, "") << name;
  }
}

}  // namespace
}  // namespace travik::traffic

#include "processing/ingest/trace_log_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "processing/ingest/trace_text.h"
#include "processing/runtime/activity_log.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

const std::string kPrefix = "2005/04/01-09:15:02.120 00000000 ";

CCallEvent cut(std::string_view line, TraceLineCut expected = TraceLineCut::Event) {
  TraceLineCutter cutter;
  CCallEvent event;
  EXPECT_EQ(cutter.cut(line, event), expected) << line;
  return event;
}

TEST(TraceLineCutter, ReadsTheFieldsAtTheirPositionsWhateverStandsBeforeTheMatch) {
  const CCallEvent event = cut("junk before 2005/04/01-09:15:02.120 00000000 Line 7: some text");
  EXPECT_EQ(event.dateTimeStamp, DateTime(2005, 4, 1, 9, 15, 2));
  EXPECT_EQ(event.intMilliseconds, 120);
  EXPECT_EQ(event.intLine, 7);
  EXPECT_EQ(event.strData, "some text");

  const CCallEvent twoDigits = cut(kPrefix + "Line 12: some text");
  EXPECT_EQ(twoDigits.intLine, 12);
  EXPECT_EQ(twoDigits.strData, "some text");
}

TEST(TraceLineCutter, TrimsBlanksThenCutsTheTextTo254Characters) {
  const std::string exact(254, 'x');
  EXPECT_EQ(cut(kPrefix + "Line 3:    " + exact + "   ").strData, exact);
  EXPECT_EQ(cut(kPrefix + "Line 3: " + std::string(300, 'y')).strData, std::string(254, 'y'));
  EXPECT_EQ(cut(kPrefix + "Line 3: ").strData, "");
  // Characters, not bytes: 300 two-byte characters keep 254 of them.
  std::string accented;
  for (int i = 0; i < 300; ++i) accented += "\xC3\xA9";
  const std::string kept = cut(kPrefix + "Line 3: " + accented).strData;
  EXPECT_EQ(utf8Length(kept), 254u);
  EXPECT_EQ(kept.size(), 508u);
}

TEST(TraceLineCutter, LinesWithoutTheTracePatternHoldNoEvent) {
  for (const std::string& line :
       std::vector<std::string>{"", std::string("Call Received."), kPrefix + "line 7: lower case",
                                kPrefix + "Line 123: three digits", "2005/04/01 09:15:02.120 00000000 Line 7: x",
                                "2005/04/01-09:15:02.12 00000000 Line 7: x", kPrefix + "Line 7:no blank"}) {
    CCallEvent event;
    event.strData = "unchanged";
    EXPECT_EQ(TraceLineCutter().cut(line, event), TraceLineCut::NoEvent) << line;
    EXPECT_EQ(event.strData, "unchanged");
  }
}

TEST(TraceLineCutter, AShiftedMiddleFieldShiftsThePositions) {
  // Seven characters: the line number position holds ":", which does not convert.
  cut("2005/04/01-09:15:02.120 0000000 Line 7: text", TraceLineCut::NotConverted);
  // Nine characters: the text starts one character late and the line position holds a blank.
  cut("2005/04/01-09:15:02.120 000000000 Line 7: text", TraceLineCut::NotConverted);
  // Seven characters and a two-digit line: "Line ##" is not where the layout wants it, so the
  // one digit at the line position is read, and the text starts where a one-digit line puts it.
  const CCallEvent shifted = cut("2005/04/01-09:15:02.120 0000000 Line 47: text");
  EXPECT_EQ(shifted.intLine, 7);
  EXPECT_EQ(shifted.strData, "text");
}

TEST(TraceLineCutter, ImpossibleDatesDoNotConvertAndLeaveTheEventAlone) {
  CCallEvent event;
  event.strData = "before";
  TraceLineCutter cutter;
  for (const char* line :
       {"2005/02/30-09:15:02.120 00000000 Line 7: x", "2005/13/01-09:15:02.120 00000000 Line 7: x",
        "2005/04/01-24:00:00.000 00000000 Line 7: x", "0000/04/01-09:15:02.120 00000000 Line 7: x"}) {
    EXPECT_EQ(cutter.cut(line, event), TraceLineCut::NotConverted) << line;
    EXPECT_EQ(event.strData, "before");
  }
}

TEST(TraceLineCutter, TextThatIsNotUtf8IsReadAsWindows1252) {
  EXPECT_EQ(cut(kPrefix + "Line 7: caf\xE9 \x80 \x93ok\x94").strData,
            "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cok\xE2\x80\x9D");
  EXPECT_EQ(cut(kPrefix + "Line 7: caf\xC3\xA9").strData, "caf\xC3\xA9");
  // A multi-byte character in the middle field counts as one character.
  const CCallEvent wide = cut("2005/04/01-09:15:02.120 0000000\xC3\xA9 Line 7: x");
  EXPECT_EQ(wide.intLine, 7);
  EXPECT_EQ(wide.strData, "x");
  // In Windows-1252 each byte is a character: the same bytes read as two characters shift by one.
  cut("2005/04/01-09:15:02.120 0000000\xC3\xA9 Line 7: \xFF", TraceLineCut::NotConverted);
}

TEST(TraceLineCutter, NulBytesAndBinaryGarbageNeitherCrashNorReachTheText) {
  const std::string garbage("\0\0\x01\xFF\xFE\0", 6);
  const CCallEvent event = cut(garbage + kPrefix + "Line 9: a" + std::string(1, '\0') + "b" + std::string(1, '\0'));
  EXPECT_EQ(event.strData, "ab");
  std::mt19937 random(7);
  TraceLineCutter cutter;
  CCallEvent any;
  for (int i = 0; i < 2000; ++i) {
    std::string line(static_cast<std::size_t>(random() % 400), '\0');
    for (char& c : line) c = static_cast<char>(random());
    if (i % 3 == 0) line.insert(line.size() / 2, kPrefix + "Line 5: ");
    cutter.cut(line, any);
  }
}

TEST(TraceLineCutter, ReadsBackTheSystemsOwnExportLayout) {
  CCallEvent event;
  ASSERT_TRUE(parseTraceLine(" MVLOG 0000 0000 2005/04/01-09:15:02.120 00000000 Line 42: Call Received. ", event));
  EXPECT_EQ(event.dateTimeStamp, DateTime(2005, 4, 1, 9, 15, 2));
  EXPECT_EQ(event.intMilliseconds, 120);
  EXPECT_EQ(event.intLine, 42);
  EXPECT_EQ(event.strData, "Call Received.");
  EXPECT_FALSE(parseTraceLine("not a trace line", event));
}

TEST(TraceLineCutter, LongLinesAreMatchedInTimeLinearInTheirLength) {
  // Many time stamps after the only " Line n: " would make a naive backtracking
  // match quadratic; the line still holds its event at the first time stamp.
  std::string line = kPrefix + "Line 1: ";
  while (line.size() < kMaximumTraceLineBytes - 64) line += "2005/04/01-09:15:02.120 ";
  CCallEvent event;
  ASSERT_EQ(TraceLineCutter().cut(line, event), TraceLineCut::Event);
  EXPECT_EQ(event.intLine, 1);
  EXPECT_EQ(utf8Length(event.strData), 254u);

  std::string stamps;
  while (stamps.size() < kMaximumTraceLineBytes - 64) stamps += "2005/04/01-09:15:02.120 ";
  // The first time stamp begins the match; the fields are read where the layout puts them.
  EXPECT_EQ(TraceLineCutter().cut(stamps + " Line 1: x", event), TraceLineCut::Event);
  EXPECT_EQ(event.strData.substr(0, 7), "02.120 ");
  EXPECT_EQ(TraceLineCutter().cut(stamps + " Line 1:", event), TraceLineCut::NoEvent);
}

TEST(TraceText, Utf8ValidationRejectsMalformedSequences) {
  EXPECT_TRUE(isValidUtf8("plain"));
  EXPECT_TRUE(isValidUtf8("\xE2\x82\xAC \xF0\x9F\x98\x80"));
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\x80", "\xFF"})
    EXPECT_FALSE(isValidUtf8(bad)) << bad;
}

// Parses one file as a run does, over a program's database.
class ParseFile : public ::testing::Test {
 protected:
  std::filesystem::path write(const std::string& name, const std::string& bytes) {
    const auto path = tp.traceFolder() / name;
    test::writeFile(path, bytes);
    return path;
  }
  LogFileResult parse(const std::filesystem::path& path) { return ProcessLogFile(*tp, path, run); }
  std::vector<std::string> events() {
    return tp.rows("select Timestamp, Milliseconds, Sequence, Line, Data from Events order by rowid");
  }

  test::TestProgram tp;
  TraceLogRun run;
  void SetUp() override {
    run.lastEventTime = DateTime(2005, 1, 1);
    run.currentEvent.lngSequence = 1;
  }
};

std::string line(const std::string& time, int lineNumber, const std::string& text) {
  return "2005/04/01-" + time + " 00000000 Line " + std::to_string(lineNumber) + ": " + text;
}

TEST_F(ParseFile, NumbersEventsOfOneMillisecondInSequenceAndStartsEveryFileAtOne) {
  ASSERT_EQ(
      parse(write("MVLOG.001", line("10:00:00.500", 1, "a") + "\r\n" + line("10:00:00.500", 2, "b") + "\r\n" +
                                   line("10:00:00.500", 1, "c") + "\r\n" + line("10:00:00.501", 1, "d") + "\r\n")),
      LogFileResult::Parsed);
  ASSERT_EQ(parse(write("MVLOG.002", line("10:00:00.501", 3, "e") + "\r\n")), LogFileResult::Parsed);
  EXPECT_EQ(events(), (std::vector<std::string>{"2005-04-01 10:00:00|500|1|1|a", "2005-04-01 10:00:00|500|2|2|b",
                                                "2005-04-01 10:00:00|500|3|1|c", "2005-04-01 10:00:00|501|1|1|d",
                                                "2005-04-01 10:00:00|501|1|3|e"}));
  EXPECT_EQ(tp->highestLineNumber, 3);
  EXPECT_EQ(run.storedEvents, 5);
}

TEST_F(ParseFile, StoresEveryEventNotStoredYetWithinTheRetentionButCountsEveryLine) {
  tp->db.exec("insert into Events values ('2005-04-01 10:00:00', 500, 1, 1, 'same')");
  run.lastEventTime = DateTime(2005, 4, 1, 10, 0, 0);
  run.lastEventMilliseconds = 500;
  run.retentionCutoff = DateTime(2005, 4, 1, 9, 0, 0);
  parse(write("MVLOG.001", line("10:00:00.500", 1, "same") + "\n" + line("10:00:00.500", 40, "tie") + "\n" +
                               line("09:59:59.999", 2, "older") + "\n" + line("08:59:59.999", 5, "too old") + "\n" +
                               line("10:00:00.501", 3, "later ms") + "\n" + line("10:00:01.000", 4, "later s") + "\n"));
  // The stored event is not stored twice; an event of the same millisecond on
  // another line, and one stamped earlier, are stored.
  EXPECT_EQ(events(),
            (std::vector<std::string>{"2005-04-01 10:00:00|500|1|1|same", "2005-04-01 10:00:00|500|1|40|tie",
                                      "2005-04-01 09:59:59|999|1|2|older", "2005-04-01 10:00:00|501|1|3|later ms",
                                      "2005-04-01 10:00:01|0|1|4|later s"}));
  // Line 5 was too old to be stored, yet bounds the line walk.
  EXPECT_EQ(tp->highestLineNumber, 40);
  EXPECT_EQ(tp->handledErrorCount, 0);
}

TEST_F(ParseFile, ReadsCrLfLfAndLoneCrLineEndsAndALastLineWithoutOneOnlyOnceTheGatewayMovedOn) {
  const auto path = write("MVLOG.001", line("10:00:00.001", 1, "crlf") + "\r\n" + line("10:00:00.002", 1, "lf") + "\n" +
                                           line("10:00:00.003", 1, "cr") + "\r" + line("10:00:00.004", 1, "last"));
  parse(path);
  EXPECT_EQ(events(), (std::vector<std::string>{"2005-04-01 10:00:00|1|1|1|crlf", "2005-04-01 10:00:00|2|1|1|lf",
                                                "2005-04-01 10:00:00|3|1|1|cr"}));
  ASSERT_EQ(ProcessLogFile(*tp, path, run, true), LogFileResult::Parsed);
  EXPECT_EQ(events().back(), "2005-04-01 10:00:00|4|1|1|last");
  EXPECT_EQ(events().size(), 4u);
}

TEST_F(ParseFile, AFileHoldsUnreadLinesOnlyPastItsPositionAndUpToALineEnd) {
  const auto path = write("MVLOG.001", line("10:00:00.001", 1, "a") + "\r\n" + line("10:00:00.002", 1, "half"));
  EXPECT_TRUE(hasUnreadTraceLines(*tp, path, false));
  parse(path);
  EXPECT_FALSE(hasUnreadTraceLines(*tp, path, false));
  EXPECT_TRUE(hasUnreadTraceLines(*tp, path, true));  // a newer file exists
  write("MVLOG.001", test::readFile(path) + "\r");
  EXPECT_FALSE(hasUnreadTraceLines(*tp, path, false));  // the LF may follow
  write("MVLOG.001", test::readFile(path) + "\n");
  EXPECT_TRUE(hasUnreadTraceLines(*tp, path, false));
  parse(path);
  EXPECT_FALSE(hasUnreadTraceLines(*tp, path, false));
  // Another file under the name, even a longer one, is read from its start.
  write("MVLOG.001", line("11:00:00.001", 1, "b") + "\r\n" + line("11:00:00.002", 1, "c") + "\r\n" +
                         line("11:00:00.003", 1, "d") + "\r\n");
  EXPECT_TRUE(hasUnreadTraceLines(*tp, path, false));
  parse(path);
  EXPECT_EQ(tp.rows("select Data from Events order by rowid"), (std::vector<std::string>{"a", "half", "b", "c", "d"}));
  EXPECT_TRUE(hasUnreadTraceLines(*tp, tp.traceFolder() / "MVLOG.missing", false));  // the parse says why
}

TEST_F(ParseFile, LinesThatDoNotConvertAreSkippedAndReportedOncePerFile) {
  tp.openLog();
  parse(write("MVLOG.007",
              line("10:00:00.001", 1, "good") + "\n" + "2005/02/30-10:00:00.002 00000000 Line 1: bad date\n" +
                  "2005/04/01-10:00:00.003 0000000 Line 1: bad line\n" + line("10:00:00.004", 2, "good too") + "\n"));
  EXPECT_EQ(events(),
            (std::vector<std::string>{"2005-04-01 10:00:00|1|1|1|good", "2005-04-01 10:00:00|4|1|2|good too"}));
  EXPECT_EQ(tp->handledErrorCount, 1);
  flushActivityLog(*tp);
  const std::string log = test::readFile(tp->activityLog.fileName);
  EXPECT_NE(log.find("(error):13 (Type mismatch: 2 trace lines of MVLOG.007 do not convert and were not stored) in "
                     "procedure ProcessLogFile"),
            std::string::npos)
      << log;
}

TEST_F(ParseFile, AFileThatCannotBeOpenedIsOneHandledErrorAndStoresNothing) {
  EXPECT_EQ(parse(tp.traceFolder() / "MVLOG.404"), LogFileResult::NotRead);
  EXPECT_EQ(tp->handledErrorCount, 1);
  EXPECT_TRUE(events().empty());
}

TEST_F(ParseFile, AHugeLineIsReadFromItsTailAndBinaryGarbageIsSkipped) {
  std::string bytes = line("10:00:00.001", 1, "before") + "\r\n";
  bytes += std::string(3 * kMaximumTraceLineBytes + 12345, '\0') + line("10:00:00.002", 2, "after garbage") + "\r\n";
  std::mt19937 random(3);
  for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(random());
  bytes += "\n" + line("10:00:00.003", 3, "end") + "\n";
  parse(write("MVLOG.001", bytes));
  const auto rows = events();
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows.front(), "2005-04-01 10:00:00|1|1|1|before");
  EXPECT_EQ(rows[1], "2005-04-01 10:00:00|2|1|2|after garbage");
  EXPECT_EQ(rows.back(), "2005-04-01 10:00:00|3|1|3|end");
  EXPECT_EQ(tp->handledErrorCount, 1);  // the cut line is reported
}

TEST_F(ParseFile, ADatabaseLockedByTheOtherProgramStoresNothingAndSaysSo) {
  db::Connection other;
  other.open(tp->databasePath().string());
  db::Transaction hold(other);
  EXPECT_EQ(parse(write("MVLOG.001", line("10:00:00.001", 1, "waiting"))), LogFileResult::NotStored);
  hold.rollback();
  EXPECT_TRUE(events().empty());
  EXPECT_EQ(tp->handledErrorCount, 1);
}

}  // namespace
}  // namespace travik

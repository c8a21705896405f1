// A live trace folder: the gateway writes the folder while the runs read it,
// so a run finds the newest file cut anywhere (inside a line, inside a second
// or a millisecond, between a digit string and what the machines look for
// after it, just after a roll-over), and a run may itself be cut short by a
// kill or a stop request.  Whatever the cuts, the runs over the pieces and a
// last run that finds nothing new must leave every table as one run over the
// whole text and a run that finds nothing new; and that last run must change
// nothing.
//
// The clocks may lie too (the ...WithClocksThatLie tests): the gateway's
// clock set back by up to an hour at some moment, one event stamped up to 23
// hours ahead, and file times out of order (a copy of an older file, a
// touched file, a file an hour later than the one written after it).  Each
// seed draws which of these its text holds; the log names them.
//
// The text is generated traffic with every hard case on.  The runs go through
// the processing code directly, with a clock that stands just after the
// text's end.  CI runs a few seeds; TRAVIK_PROPERTY_SEEDS=N runs seeds 1 to N
// and TRAVIK_PROPERTY_SEEDS=A-B seeds A to B, for the long runs by hand.
// TRAVIK_RECORD_DIR=FOLDER keeps, per seed, the tables and reports that the
// one run over the whole text leaves (scripts/record-behaviour uses it).
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/traffic_generator.h"
#include "bench/traffic_growing_folder.h"
#include "bench/traffic_random.h"
#include "bench/traffic_trace_writer.h"
#include "processing/run/process_logs.h"
#include "processing/runtime/handled_error.h"
#include "processing/runtime/start_up.h"
#include "tests/support/test_program.h"

namespace travik::traffic {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const DateTime kEnd(2005, 6, 15, 12, 0, 0);
// Every run's clock: just after the text's last line.
const DateTime kNow = kEnd.addSeconds(30);

// ---------------------------------------------------------------- seeds

// CI's seeds are `byDefault`.
std::vector<std::uint64_t> seeds(std::vector<std::uint64_t> byDefault = {1, 2, 3}) {
  const char* asked = std::getenv("TRAVIK_PROPERTY_SEEDS");
  if (!asked || !*asked) return byDefault;
  std::uint64_t first = 1, last = 0;
  const std::string text = asked;
  const std::size_t dash = text.find('-');
  try {
    if (dash == std::string::npos) {
      last = std::stoull(text);
    } else {
      first = std::stoull(text.substr(0, dash));
      last = std::stoull(text.substr(dash + 1));
    }
  } catch (const std::exception&) {
    ADD_FAILURE() << "TRAVIK_PROPERTY_SEEDS must be N or A-B, not " << text;
    return {};
  }
  std::vector<std::uint64_t> all;
  for (std::uint64_t seed = first; seed <= last; ++seed) all.push_back(seed);
  return all;
}

// ---------------------------------------------------------------- the text

// Generated traffic of a few lines with every hard case on, as one text.
class Trace {
 public:
  explicit Trace(std::uint64_t seed, bool lyingClocks = false, bool unended = false) : seed_(seed) {
    TrafficOptions options;
    options.folder = staging_.path() / "traces";
    options.summaryFile = staging_.path() / "traffic-summary.csv";
    options.lines = 3;
    options.hours = 1.5;
    options.end = kEnd;
    options.seed = seed;
    options.callsPerHour = 30;
    options.maxFileBytes = 12000;
    options.failurePercent = 15;
    options.backToBackCalls = options.sharedMilliseconds = options.rollOverAnywhere = true;
    Random draw(streamSeed(seed, 7));
    const std::uint64_t cases = lyingClocks ? 1 + draw.below(7) : 0;  // at least one of three
    if (cases & 1) {
      options.clockSetBackSeconds = static_cast<int>(1 + draw.below(3600));
      cases_ += "clock set back " + std::to_string(options.clockSetBackSeconds) + " s; ";
    }
    if (cases & 2) {
      options.stampAheadHours = static_cast<int>(1 + draw.below(23));
      cases_ += "an event " + std::to_string(options.stampAheadHours) + " h ahead; ";
    }
    folder_ = std::make_unique<GrowingFolder>(generateTraffic(options).files);
    if (cases & 4) {
      static const char* const kinds[] = {"copy", "touch", "an hour later"};
      for (int i = draw.between(1, 3); i > 0; --i) {
        const FileTimeLie lie{static_cast<FileTimeLie::Kind>(draw.below(3)), 1 + draw.below(size() - 1)};
        folder_->lie(lie);
        cases_ += std::string("file time: ") + kinds[lie.kind] + " at byte " + std::to_string(lie.at) + "; ";
      }
    }
    // The first line of a file, not the last (a later file shows that the gateway moved on).
    if (unended) folder_->unendFirstLine(unended_ = 1 + draw.below(folder_->fileStarts().size() - 2));
    index();
  }

  std::uint64_t seed() const { return seed_; }
  // The file whose only line has no line end (unended), or 0.
  std::size_t unendedFile() const { return unended_; }
  // The clock cases the text holds; empty when its clocks behave.
  const std::string& cases() const { return cases_; }
  const GrowingFolder& folder() const { return *folder_; }
  std::size_t size() const { return folder_->text().size(); }

  // The places a cut is aimed at, by kind; every kind holds byte offsets.
  enum Kind {
    InsideALine,
    InsideASecond,
    InsideAMillisecond,
    AfterADigitString,
    BetweenDigitHalves,
    BeforeACallInTheSameSecond,
    AtARollOver,
    AfterARollOver,
    kKinds
  };
  static const char* kindName(int kind) {
    static const char* const names[kKinds] = {"inside a line",
                                              "inside a second",
                                              "inside a millisecond",
                                              "after a digit string",
                                              "between the halves of a digit string",
                                              "before a call opening in the second the line's last call ended",
                                              "at a roll-over",
                                              "inside the first line of a file"};
    return names[kind];
  }
  const std::vector<std::size_t>& places(int kind) const { return places_[kind]; }

  // Where byte `at` lies: the file, and the text on both sides of it.
  std::string describe(std::size_t at) const {
    const auto& starts = folder_->fileStarts();
    const std::size_t file =
        static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
    const std::string& text = folder_->text();
    auto shown = [](std::string part) {
      std::string out;
      for (const char c : part)
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
      return out;
    };
    const std::size_t from = at < 60 ? 0 : at - 60;
    return folder_->fileName(file) + " byte " + std::to_string(at - starts[file]) + ": \"" +
           shown(text.substr(from, at - from)) + "\" | \"" + shown(text.substr(at, 40)) + "\"";
  }

 private:
  struct Line {
    std::size_t begin, end;  // end: after its LF
    Millis time;
    int line;  // 0: a gateway notice
    std::string text;
  };

  static bool opensACall(const std::string& text) {
    for (const char* opening : {"Call Received.", "Call Out Process Initiated for Node ",
                                "Processing Pending Callout to Node ", "Processing messages from node: "})
      if (text.rfind(opening, 0) == 0) return true;
    return false;
  }

  static bool digitString(const std::string& text) {
    for (const std::string prefix : {"Received ", "Playing "})
      if (text.rfind(prefix, 0) == 0 && text.size() > prefix.size() &&
          text.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
        return true;
    return text == "Playing BD";
  }

  void index() {
    const std::string& text = folder_->text();
    std::vector<Line> lines;
    for (std::size_t begin = 0; begin < text.size();) {
      const std::size_t end = text.find('\n', begin) + 1;
      const std::string_view raw(text.data() + begin, end - begin);
      Line line{begin, end, traceLineTime(raw), 0, ""};
      const std::size_t at = raw.find(" Line ");
      if (at != std::string_view::npos) {
        const std::size_t colon = raw.find(": ", at);
        line.line = std::stoi(std::string(raw.substr(at + 6, colon - at - 6)));
        std::string data(raw.substr(colon + 2));
        data.erase(data.find_last_not_of(" \r\n") + 1);
        line.text = data;
      }
      lines.push_back(line);
      begin = end;
    }
    const auto& starts = folder_->fileStarts();
    std::map<int, const Line*> previousOfLine;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Line& line = lines[i];
      if (line.line != 0) {
        const Line*& previous = previousOfLine[line.line];
        if (previous && digitString(previous->text) && digitString(line.text))
          places_[BetweenDigitHalves].push_back(previous->end);
        if (previous && opensACall(line.text) && previous->time / 1000 == line.time / 1000)
          places_[BeforeACallInTheSameSecond].push_back(previous->end);
        previous = &line;
      }
      for (std::size_t at = line.begin + 1; at < line.end; ++at) places_[InsideALine].push_back(at);
      if (i + 1 < lines.size()) {
        const Line& next = lines[i + 1];
        if (next.time / 1000 == line.time / 1000) places_[InsideASecond].push_back(line.end);
        if (next.time == line.time) places_[InsideAMillisecond].push_back(line.end);
      }
      if (line.line != 0 && digitString(line.text)) places_[AfterADigitString].push_back(line.end);
    }
    for (std::size_t file = 1; file < starts.size(); ++file) {
      places_[AtARollOver].push_back(starts[file]);
      const std::size_t firstLineEnd = text.find('\n', starts[file]) + 1;
      for (std::size_t at = starts[file] + 1; at < firstLineEnd; ++at) places_[AfterARollOver].push_back(at);
    }
  }

  std::uint64_t seed_;
  std::size_t unended_ = 0;
  std::string cases_;
  test::TempFolder staging_;
  std::unique_ptr<GrowingFolder> folder_;
  std::vector<std::size_t> places_[kKinds];
};

// ---------------------------------------------------------------- tables

// What is compared of each table.  An event's Sequence is how one run
// numbered the events of one millisecond, not part of what was stored.
struct Table {
  const char* name;
  const char* select;
};
const Table kTables[] = {
    {"Events", "select Timestamp, Milliseconds, Line, Data from Events"},
    {"calls", "select * from calls"},
    {"tasks", "select * from tasks"},
    {"recipients", "select * from recipients"},
    {"errors", "select * from errors"},
    {"linesummary", "select * from linesummary"},
    {"octelsummary", "select * from octelsummary"},
};

struct Snapshot {
  std::map<std::string, Texts> rows;           // sorted, per table
  std::map<std::string, std::string> columns;  // the column names, per table
};

Snapshot snapshot(test::TestProgram& program) {
  if (!program->db.isOpen()) program.connect();
  Snapshot shot;
  for (const Table& table : kTables) {
    Texts rows = program.rows(table.select);
    std::sort(rows.begin(), rows.end());
    shot.rows[table.name] = std::move(rows);
    auto statement = program->db.prepare(table.select);
    std::string names;
    for (int i = 0; i < statement.columnCount(); ++i) names += (i ? "|" : "") + statement.columnName(i);
    shot.columns[table.name] = names;
  }
  return shot;
}

// The tables that differ, each with its first rows found on one side only;
// empty when the snapshots agree.
std::string differences(const Snapshot& expected, const Snapshot& actual) {
  std::ostringstream out;
  for (const Table& table : kTables) {
    const Texts& want = expected.rows.at(table.name);
    const Texts& got = actual.rows.at(table.name);
    if (want == got) continue;
    Texts missing, extra;
    std::set_difference(want.begin(), want.end(), got.begin(), got.end(), std::back_inserter(missing));
    std::set_difference(got.begin(), got.end(), want.begin(), want.end(), std::back_inserter(extra));
    out << "table " << table.name << ": " << want.size() << " rows expected, " << got.size() << " found, "
        << missing.size() << " missing, " << extra.size() << " extra\n    columns: " << expected.columns.at(table.name)
        << '\n';
    for (std::size_t i = 0; i < missing.size() && i < 4; ++i) out << "    missing: " << missing[i] << '\n';
    for (std::size_t i = 0; i < extra.size() && i < 4; ++i) out << "    extra:   " << extra[i] << '\n';
  }
  return out.str();
}

// ---------------------------------------------------------------- runs

// The points at which a run can be cut short: every yield and pause of the
// host (where the service notices a stop request) and every kProgressSteps
// steps of SQLite's virtual machine, so that a kill also lands inside a
// write transaction.  Given a target, the target-th point sends the signal:
// SIGKILL ends the process there; SIGTERM, blocked as the service blocks it,
// ends it in order at the next yield or pause, as the service's loop does.
// Where that happened (the last status shown) is written to the note file.
class CutShort {
 public:
  static constexpr int kProgressSteps = 200;

  CutShort(test::TestProgram& program, std::int64_t target = 0, int signal = 0)
      : program_(program), target_(target), signal_(signal), note_(noteFile(program)) {
    program.host.onYield = [this] { pause(); };
    program.host.onSleep = [this](int) { pause(); };
    arm();
  }
  ~CutShort() {
    program_.host.onYield = nullptr;
    program_.host.onSleep = nullptr;
    if (sqlite3* handle = program_->db.handle()) sqlite3_progress_handler(handle, 0, nullptr, nullptr);
  }
  CutShort(const CutShort&) = delete;
  CutShort& operator=(const CutShort&) = delete;

  std::int64_t points() const { return points_; }
  static fs::path noteFile(test::TestProgram& program) { return program.folder() / "cut-short.txt"; }

 private:
  void point() {
    if (++points_ != target_) return;
    note("signal during");
    ::raise(signal_);
  }
  void pause() {
    point();
    sigset_t pending;
    if (signal_ == SIGTERM && sigpending(&pending) == 0 && sigismember(&pending, SIGTERM)) {
      note(", noticed during");
      shutDownApplication(*program_, exit_status::kOrderly);
    }
    arm();
  }
  void note(const std::string& what) {
    const auto& statuses = program_.host.statuses;
    std::ofstream(note_, std::ios::app) << what << " \"" << (statuses.empty() ? "" : statuses.back().text) << '"';
  }
  // The run closes and reopens the database; each new handle gets the handler.
  void arm() {
    if (sqlite3* handle = program_->db.handle()) sqlite3_progress_handler(handle, kProgressSteps, &onProgress, this);
  }
  static int onProgress(void* self) {
    static_cast<CutShort*>(self)->point();
    return 0;
  }

  test::TestProgram& program_;
  const std::int64_t target_;
  const int signal_;
  const fs::path note_;
  std::int64_t points_ = 0;
};

// One service cycle in this process; counts its points.  A run that ends the
// program (too many handled errors) is followed by a new start.
std::int64_t runHere(test::TestProgram& program, std::string& log) {
  program.host.clock = kNow;
  if (!program->db.isOpen()) program.connect();
  if (!program->activityLog.file.is_open()) program.openLog();
  const auto errorsBefore = program->handledErrorCount;
  std::int64_t points = 0;
  try {
    CutShort counter(program);
    processLogs(*program);
    points = counter.points();
  } catch (const ProgramEnded&) {
    log += " [the run ended the program]";
    program.restart();
  }
  if (program->handledErrorCount != errorsBefore)
    log += " [" + std::to_string(program->handledErrorCount - errorsBefore) +
           " handled errors: " + program->statusMessage + "]";
  return points;
}

constexpr int kStoppedInOrder = 10;

// One service cycle in a child process, cut short at the target point.  The
// child ends itself after a minute at the latest.  Returns what became of it.
std::string runInChild(test::TestProgram& program, std::int64_t target, int signal) {
  // The child opens its own connection; none may cross the fork.
  program->db.close();
  const pid_t pid = ::fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    ::alarm(60);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    int code = 0;
    try {
      program->exitProcess = [](int) { ::_exit(kStoppedInOrder); };
      program.host.clock = kNow;
      program.connect();
      if (!program->activityLog.file.is_open()) program.openLog();
      CutShort cut(program, target, signal);
      processLogs(*program);
    } catch (...) {
      code = 3;
    }
    ::_exit(code);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return "waitpid failed";
  const fs::path noteFile = CutShort::noteFile(program);
  const std::string note = " (" + test::readFile(noteFile) + ")";
  fs::remove(noteFile);
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return "killed" + note;
  if (WIFEXITED(status) && WEXITSTATUS(status) == kStoppedInOrder) return "stopped" + note;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "completed";
  return "ended with status " + std::to_string(status) + " (exit 3: an exception; signal " + std::to_string(SIGALRM) +
         ": it took longer than a minute)";
}

// ---------------------------------------------------------------- the scenarios

// One run over the whole text, then a run that finds nothing new.
struct WholeRun {
  Snapshot afterRun;
  Snapshot afterQuietRun;
  std::int64_t points = 0;
  std::string log;
};

WholeRun wholeRun(const Trace& trace) {
  WholeRun whole;
  test::TestProgram program;
  trace.folder().write(program.traceFolder(), trace.size());
  whole.points = runHere(program, whole.log);
  whole.afterRun = snapshot(program);
  program.record("seed-" + std::to_string(trace.seed()));
  runHere(program, whole.log);
  whole.afterQuietRun = snapshot(program);
  return whole;
}

struct Cut {
  std::size_t at;
  int kind;
};

// Cut points for the pieces, each aimed at a kind of place, in text order;
// the last piece ends with the text.
std::vector<Cut> drawCuts(const Trace& trace, std::mt19937_64& random, int pieces) {
  std::map<std::size_t, int> chosen;
  for (int i = 0; i + 1 < pieces; ++i) {
    int kind = static_cast<int>(random() % Trace::kKinds);
    if (trace.places(kind).empty()) kind = Trace::InsideALine;
    const auto& places = trace.places(kind);
    chosen.emplace(places[random() % places.size()], kind);
  }
  std::vector<Cut> cuts;
  for (const auto& [at, kind] : chosen) cuts.push_back({at, kind});
  cuts.push_back({trace.size(), -1});
  return cuts;
}

// The pieces one after the other, one cycle each; with kills, some cycles run
// in a child that is cut short, followed by a new start of the program and a
// cycle over the unchanged folder.  Then a cycle that finds nothing new.
// The story of the runs goes into log.
Snapshot piecesRun(const Trace& trace, const std::vector<Cut>& cuts, std::mt19937_64& random, bool kills,
                   std::string& log, int& cutShort) {
  test::TestProgram program;
  std::size_t written = 0;
  std::int64_t lastPoints = 200;
  for (const Cut& cut : cuts) {
    trace.folder().write(program.traceFolder(), cut.at, written);
    written = cut.at;
    log += "  piece to byte " + std::to_string(cut.at) + (cut.kind < 0 ? " (the end)" : "");
    if (cut.kind >= 0) log += " (" + std::string(Trace::kindName(cut.kind)) + ") " + trace.describe(cut.at);
    log += '\n';
    while (kills && random() % 5 < 2) {
      const std::int64_t target = 1 + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(lastPoints));
      const int signal = random() % 2 ? SIGKILL : SIGTERM;
      const std::string end = runInChild(program, target, signal);
      log += "    run cut short at point " + std::to_string(target) + " by " +
             (signal == SIGKILL ? "SIGKILL" : "SIGTERM") + ": " + end + '\n';
      const bool ended = end.rfind("killed", 0) == 0 || end.rfind("stopped", 0) == 0;
      if (!ended && end != "completed") ADD_FAILURE() << "a run in a child " << end;
      cutShort += ended;
      program.restart();
    }
    log += "    run";
    lastPoints = std::max<std::int64_t>(runHere(program, log), 20);
    log += '\n';
  }
  log += "  run with nothing new";
  runHere(program, log);
  log += '\n';
  return snapshot(program);
}

// The cuts that alone (one piece up to the cut, one to the end) already
// leave other tables, each with its differences: the smallest cases of a
// failure.
std::string failingAlone(const Trace& trace, const std::vector<Cut>& cuts, const Snapshot& expected) {
  std::string found;
  std::mt19937_64 unused;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    std::string log;
    int cutShort = 0;
    const std::string diff =
        differences(expected, piecesRun(trace, {cuts[i], cuts.back()}, unused, false, log, cutShort));
    if (diff.empty()) continue;
    found += "  byte " + std::to_string(cuts[i].at) + " (" + Trace::kindName(cuts[i].kind) + ") " +
             trace.describe(cuts[i].at) + "\n" + diff;
  }
  return found.empty() ? "  none: only cuts together fail\n" : found;
}

// ---------------------------------------------------------------- the tests

TEST(LiveFolder, ARunThatFindsNothingNewAfterAnUninterruptedRunChangesNoTable) {
  for (const std::uint64_t seed : seeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const WholeRun whole = wholeRun(Trace(seed));
    ASSERT_FALSE(whole.afterRun.rows.at("calls").empty());
    const std::string diff = differences(whole.afterRun, whole.afterQuietRun);
    if (!diff.empty()) ADD_FAILURE() << "seed " << seed << ": the run with nothing new changed\n" << diff << whole.log;
  }
}

TEST(LiveFolder, PiecesCutAnywhereLeaveTheTablesOfOneRun) {
  for (const std::uint64_t seed : seeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Trace trace(seed);
    const WholeRun whole = wholeRun(trace);
    std::mt19937_64 random(seed * 7919);
    const std::vector<Cut> cuts = drawCuts(trace, random, 12);
    std::string log;
    int cutShort = 0;
    const Snapshot pieces = piecesRun(trace, cuts, random, false, log, cutShort);
    const std::string diff = differences(whole.afterQuietRun, pieces);
    if (!diff.empty())
      ADD_FAILURE() << "seed " << seed << ": the pieces left other tables than one run\n"
                    << diff << "the runs:\n"
                    << log << "cuts that fail alone:\n"
                    << failingAlone(trace, cuts, whole.afterQuietRun);
  }
}

// The pieces of a text whose clocks lie, with or without kills, against one
// run over the whole text; each seed's cases go to standard output.
void checkLyingClocks(bool kills) {
  int cutShort = 0;
  // Between them: a clock set back, events ahead, copies, touched files and
  // files an hour later; 60 cuts the first line after the clock was set back.
  for (const std::uint64_t seed : seeds({1, 2, 7, 9, 60})) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Trace trace(seed, true);
    std::printf("seed %llu: %s\n", static_cast<unsigned long long>(seed), trace.cases().c_str());
    const WholeRun whole = wholeRun(trace);
    ASSERT_FALSE(whole.afterRun.rows.at("calls").empty());
    const std::string quiet = differences(whole.afterRun, whole.afterQuietRun);
    if (!quiet.empty())
      ADD_FAILURE() << "seed " << seed << " (" << trace.cases() << "): the run with nothing new changed\n"
                    << quiet << whole.log;
    std::mt19937_64 random(seed * 7919 + (kills ? 3 : 2));
    const std::vector<Cut> cuts = drawCuts(trace, random, 12);
    std::string log;
    const Snapshot pieces = piecesRun(trace, cuts, random, kills, log, cutShort);
    const std::string diff = differences(whole.afterQuietRun, pieces);
    if (!diff.empty())
      ADD_FAILURE() << "seed " << seed << " (" << trace.cases() << "): the pieces left other tables than one run\n"
                    << diff << "the runs:\n"
                    << log << (kills ? "" : "cuts that fail alone:\n" + failingAlone(trace, cuts, whole.afterQuietRun));
  }
  // The kills must land, or the runs would only repeat the test without them.
  if (kills) {
    EXPECT_GT(cutShort, 0);
  }
}

TEST(LiveFolder, PiecesOfATextWithClocksThatLieLeaveTheTablesOfOneRun) { checkLyingClocks(false); }

TEST(LiveFolder, RunsCutShortOverATextWithClocksThatLieLeaveTheTablesOfOneRun) { checkLyingClocks(true); }

// A file whose only line the gateway never ended leaves the tables of that
// line ended, in the pieces (some cut inside it, one where it stands alone) as in one run.
TEST(LiveFolder, AFileWhoseOnlyLineHasNoLineEndLeavesTheTablesOfOneRun) {
  for (const std::uint64_t seed : seeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Trace trace(seed, false, true);
    const WholeRun whole = wholeRun(trace);
    EXPECT_EQ(differences(wholeRun(Trace(seed)).afterQuietRun, whole.afterQuietRun), "");
    const std::size_t end = trace.folder().fileStarts()[trace.unendedFile() + 1];
    std::mt19937_64 random(seed * 7919 + 4);
    std::vector<Cut> cuts = drawCuts(trace, random, 10);
    cuts.insert(cuts.begin(), {{end - 9, Trace::InsideALine}, {end, Trace::AtARollOver}});
    std::sort(cuts.begin(), cuts.end(), [](const Cut& a, const Cut& b) { return a.at < b.at; });
    std::string log;
    int cutShort = 0;
    EXPECT_EQ(differences(whole.afterQuietRun, piecesRun(trace, cuts, random, false, log, cutShort)), "") << log;
  }
}

TEST(LiveFolder, RunsCutShortAnywhereAndRunAgainLeaveTheTablesOfOneRun) {
  int cutShort = 0;
  for (const std::uint64_t seed : seeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Trace trace(seed);
    const WholeRun whole = wholeRun(trace);
    std::mt19937_64 random(seed * 7919 + 1);
    const std::vector<Cut> cuts = drawCuts(trace, random, 12);
    std::string log;
    const Snapshot pieces = piecesRun(trace, cuts, random, true, log, cutShort);
    const std::string diff = differences(whole.afterQuietRun, pieces);
    if (!diff.empty())
      ADD_FAILURE() << "seed " << seed << ": runs cut short left other tables than one run\n"
                    << diff << "the runs:\n"
                    << log;
  }
  // The kills must land, or this test would only repeat the one before.
  EXPECT_GT(cutShort, 0);
}

}  // namespace
}  // namespace travik::traffic

// throughput_benchmark: how fast one processing run goes, beside the limits
// of the machine.
//
// On one generated trace folder it measures, side by side: `wc -l` over the
// folder (how fast the machine reads it), `sqlite3 .import` of the same
// events into the same Events table with the same indexes (how fast SQLite
// stores them by itself), and our own processing run with its pauses taken
// out: parse+store, call reconstruction, summaries and reports, the whole
// run, and a second run over the unchanged folder.  Each of our stages runs
// in a fresh child process, so its peak memory is its own.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/traffic_bench_host.h"
#include "bench/traffic_expectations.h"
#include "bench/traffic_generator.h"
#include "platform/command_line.h"
#include "platform/db.h"
#include "platform/event_log.h"
#include "processing/calls/line_walk.h"
#include "processing/calls/process_calls.h"
#include "processing/run/process_logs.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/handled_error.h"
#include "processing/runtime/program.h"
#include "processing/totals/process_summary.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace travik;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Options {
  int lines = 24;
  double hours = 24;
  std::uint64_t seed = 1;
  double callsPerHour = 23;
  int failurePercent = 8;
  DateTime end = DateTime(2005, 6, 15, 12, 0, 0);
  int repeat = 1;  // each measurement taken this many times, the fastest kept
  fs::path work;
  bool keep = false;
  fs::path schema = fs::path(TRAVIK_SOURCE_DIR) / "data" / "schema.sql";
};

const char* kUsage =
    "usage: throughput_benchmark [--lines N] [--hours H] [--seed S] [--calls-per-hour R] [--failures PERCENT]\n"
    "                            [--end \"YYYY-MM-DD HH:MM:SS\"] [--repeat N] [--work FOLDER] [--keep]\n"
    "                            [--schema FILE]\n"
    "\n"
    "Generates the traffic of N gateway lines (default 24) over H hours (default 24),\n"
    "then measures wc -l, sqlite3 .import and our processing run on it.  --repeat N\n"
    "takes every measurement N times (each run on a fresh copy of the database) and\n"
    "keeps the fastest, for a machine shared with other work.  The work folder\n"
    "(default: a new folder under /tmp) is removed afterwards unless --keep.\n";

// ---------------------------------------------------------------- child processes

// VmHWM of a process in kB (0 when it cannot be read, e.g. it has ended).
long highWaterKb(pid_t pid) {
  std::ifstream status(pid ? "/proc/" + std::to_string(pid) + "/status" : std::string("/proc/self/status"));
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

struct Finished {
  double seconds = 0;
  long peakKb = 0;
  int exitCode = -1;
  std::string output;
};

// Runs a program to its end; stdin from a file when given, stdout captured.
Finished runProcess(const std::vector<std::string>& arguments, const fs::path& stdinFile = {}) {
  std::vector<char*> argv;
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  if (!stdinFile.empty()) posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, stdinFile.c_str(), O_RDONLY, 0);
  Finished finished;
  const auto start = Clock::now();
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (rc != 0) {
    ::close(pipeFds[0]);
    throw std::runtime_error("cannot start " + arguments[0] + ": " + std::strerror(rc));
  }
  // The peak is read from the child's own high-water mark while it runs: the
  // rusage of a spawned child starts from the parent's peak, which the
  // child inherits across exec.
  ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  char buffer[4096];
  int status = 0;
  for (;;) {
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) finished.output.append(buffer, n);
    if (const long kb = highWaterKb(pid); kb > finished.peakKb) finished.peakKb = kb;
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    ::usleep(2000);
  }
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) finished.output.append(buffer, n);
  ::close(pipeFds[0]);
  finished.seconds = secondsSince(start);
  finished.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return finished;
}

std::map<std::string, std::string> readResults(const fs::path& file) {
  std::map<std::string, std::string> results;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) results[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return results;
}

// ---------------------------------------------------------------- our stages (child side)

std::int64_t count(Program& program, const char* table) {
  auto statement = program.db.prepare(std::string("select count(*) from ") + table);
  statement.step();
  return statement.getInt(0);
}

// One stage of our processing in this (child) process; results as key=value lines.
int runStage(const std::string& stage, const fs::path& programFolder, const DateTime& now, int lines,
             const fs::path& resultFile, const fs::path& summaryFile) {
  traffic::BenchHost host(now);
  platform::MemoryEventLog eventLog;
  Program program(programFolder, "TRAVIKservice", true, host, eventLog);
  program.exitProcess = [](int code) { throw ProgramEnded{code}; };
  program.db.open(program.databasePath().string(), program.databaseBusyTimeoutMs);
  getApplicationParameter(program);
  openActivityLog(program, GenerateNewLogFileName(program));

  std::ofstream out(resultFile);
  auto put = [&](const std::string& key, auto value) { out << key << '=' << value << '\n'; };
  auto putPhase = [&](const std::string& key, const std::optional<double>& value) {
    if (value) put(key, *value);
  };
  try {
    if (stage == "run") {
      auto start = Clock::now();
      processLogs(program);
      auto end = Clock::now();
      put("whole", std::chrono::duration<double>(end - start).count());
      const auto phases = traffic::splitRun(host.statuses, end);
      putPhase("parse", phases.parse);
      putPhase("calls", phases.calls);
      putPhase("summary", phases.summary);
      put("pauses_ms", host.skippedPauseMs);
      put("events", count(program, "Events"));
      put("calls_rebuilt", count(program, "calls"));
      put("failed_rebuilt", [&] {
        auto s = program.db.prepare("select count(*) from calls where exitcode like 'E%'");
        s.step();
        return s.getInt(0);
      }());
      host.statuses.clear();
      start = Clock::now();
      processLogs(program);
      put("second", secondsSince(start));
    } else if (stage == "calls") {
      {
        db::Transaction transaction(program.db);
        // The walk's marks go with the calls: without them every line is walked from its first event.
        for (const char* table : {"errors", "recipients", "tasks", "calls", "linewalk"})
          program.db.exec(std::string("delete from ") + table);
        transaction.commit();
      }
      program.highestLineNumber = lines;
      const auto start = Clock::now();
      processCalls(program);
      put("calls_alone", secondsSince(start));
      put("calls_rebuilt", count(program, "calls"));
    } else if (stage == "check") {
      // The rebuilt calls against the generated ones (not measured).
      const auto comparison = traffic::compareCalls(program.db, summaryFile, 5);
      put("calls_matching", comparison.matching);
      for (std::size_t i = 0; i < comparison.differences.size(); ++i)
        put("difference_" + std::to_string(i), comparison.differences[i]);
    } else if (stage == "summary") {
      const auto start = Clock::now();
      processSummaryData(program);
      put("summary_alone", secondsSince(start));
    }
  } catch (const ProgramEnded&) {
    put("ended_early", 1);
  }
  put("handled_errors", program.handledErrorCount);
  closeActivityLog(program);
  put("peak_kb", highWaterKb(0));
  return out ? 0 : 1;
}

// ---------------------------------------------------------------- parent side

std::string withSeparators(double value) {
  const long long whole = std::llround(value);
  const std::string digits = std::to_string(whole < 0 ? -whole : whole);
  std::string out = whole < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string megabytes(long kb) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", kb / 1024.0);
  return text;
}

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

struct Row {
  std::string label;
  std::optional<double> seconds;
  double items = 0;  // lines or events the stage handled
  long peakKb = 0;
  std::string note;
};

std::optional<double> number(const std::map<std::string, std::string>& results, const std::string& key) {
  const auto it = results.find(key);
  if (it == results.end()) return std::nullopt;
  return std::stod(it->second);
}

int benchmark(const Options& options, const std::string& self) {
  const bool madeWork = options.work.empty();
  fs::path work = options.work;
  if (madeWork) {
    char pattern[] = "/tmp/travik-bench-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("cannot create a work folder under /tmp");
    work = pattern;
  }
  const fs::path traces = work / "traces", program = work / "program", eventsCsv = work / "events.csv";
  fs::create_directories(program / "output");

  // The traffic, and the same events as CSV for the reference import.
  std::ofstream csv(eventsCsv, std::ios::binary);
  std::vector<char> csvBuffer(1 << 20);
  csv.rdbuf()->pubsetbuf(csvBuffer.data(), static_cast<std::streamsize>(csvBuffer.size()));
  traffic::TrafficOptions generation;
  generation.folder = traces;
  generation.lines = options.lines;
  generation.hours = options.hours;
  generation.end = options.end;
  generation.seed = options.seed;
  generation.callsPerHour = options.callsPerHour;
  generation.failurePercent = options.failurePercent;
  generation.summaryFile = work / "traffic-summary.csv";
  auto start = Clock::now();
  std::string lastStamp;
  std::int64_t lastSecond = -1;
  const auto generated = traffic::generateTraffic(generation, [&](const traffic::TraceEvent& e) {
    if (e.time / 1000 != lastSecond) {
      lastSecond = e.time / 1000;
      lastStamp = DateTime::fromSerialSeconds(lastSecond).toStored();
    }
    csv << lastStamp << ',' << e.time % 1000 << ",1," << e.line << ',' << csvField(e.text) << '\n';
  });
  csv.close();
  const double generationSeconds = secondsSince(start);
  std::uintmax_t traceBytes = 0;
  for (const auto& file : generated.files) traceBytes += fs::file_size(file);

  // The delivered database, pointed at the folders, keeping every generated event.
  {
    std::ifstream in(options.schema);
    if (!in) throw std::runtime_error("cannot read the schema " + options.schema.string());
    std::stringstream schema;
    schema << in.rdbuf();
    db::Connection database;
    database.create((program / "vrndata.mdb").string());
    database.exec(schema.str());
    auto update = database.prepare("update applicationparameters set value = ?1 where property = ?2");
    update.bind(1, traces.string()).bind(2, "DEFAULTMVLOGPATH").run();
    update.bind(1, (program / "output").string()).bind(2, "DEFAULTOUTPUTPATH").run();
    update.bind(1, std::to_string(static_cast<long long>(std::ceil(options.hours)) + 24))
        .bind(2, "DATARETENTIONINHOURS")
        .run();
  }
  const DateTime now = options.end.addSeconds(60);
  // Every run of our stages starts from this copy of the delivered database.
  const fs::path pristine = work / "pristine.mdb";
  fs::copy_file(program / "vrndata.mdb", pristine, fs::copy_options::overwrite_existing);
  auto restoreDatabase = [&] {
    for (const char* suffix : {"-wal", "-shm"}) fs::remove(program / ("vrndata.mdb" + std::string(suffix)));
    fs::copy_file(pristine, program / "vrndata.mdb", fs::copy_options::overwrite_existing);
  };
  // The fastest of the repeats; the last one's results for everything else.
  auto fastest = [&](auto measure) {
    auto best = measure();
    for (int i = 1; i < options.repeat; ++i) {
      auto next = measure();
      if (next.seconds < best.seconds) best = next;
    }
    return best;
  };

  // Every reader below finds the files in the page cache.
  std::vector<std::string> wc{"wc", "-l"};
  for (const auto& file : generated.files) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> block(1 << 20);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    }
    wc.push_back(file.string());
  }
  const Finished wcRun = fastest([&] { return runProcess(wc); });

  // The reference: the sqlite3 shell imports the same rows into the same schema.
  const fs::path importDb = work / "import.db", createScript = work / "create.sql", importScript = work / "import.sql";
  {
    std::ofstream(createScript) << "PRAGMA journal_mode=WAL;\n.read '" << options.schema.string() << "'\n";
    std::ofstream(importScript) << "PRAGMA synchronous=NORMAL;\n.import --csv '" << eventsCsv.string() << "' Events\n";
  }
  const Finished importRun = fastest([&] {
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(importDb.string() + suffix);
    runProcess({"sqlite3", "-batch", importDb.string()}, createScript);
    return runProcess({"sqlite3", "-batch", importDb.string()}, importScript);
  });

  // Our stages, each in a fresh process.
  auto stage = [&](const std::string& name) {
    const fs::path resultFile = work / ("result-" + name + ".txt");
    const Finished run = runProcess({self, "--stage", name, "--program", program.string(), "--now", now.toStored(),
                                     "--lines", std::to_string(options.lines), "--result", resultFile.string(),
                                     "--summary", generation.summaryFile.string()});
    auto results = readResults(resultFile);
    if (!results.count("peak_kb")) results["peak_kb"] = std::to_string(run.peakKb);
    if (run.exitCode != 0) results["exit"] = std::to_string(run.exitCode);
    return results;
  };
  // Per key the smallest value of the repeats (every timing is a "fastest",
  // and the counts are the same in every repeat), but the largest peak memory.
  auto repeated = [&](const std::string& name, bool freshDatabase) {
    std::map<std::string, std::string> best;
    for (int i = 0; i < options.repeat; ++i) {
      if (freshDatabase) restoreDatabase();
      const auto results = stage(name);
      for (const auto& [key, value] : results) {
        const auto it = best.find(key);
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        const bool numeric = end && *end == '\0' && !value.empty();
        const double held = it == best.end() ? 0 : std::strtod(it->second.c_str(), nullptr);
        if (it == best.end() || (numeric && (key == "peak_kb" ? number > held : number < held))) best[key] = value;
      }
    }
    return best;
  };
  const auto run = repeated("run", true);
  const auto check = stage("check");
  const auto calls = repeated("calls", false);
  const auto summary = repeated("summary", false);

  const double events = static_cast<double>(generated.events);
  const double stored = number(run, "events").value_or(0);
  const long runPeak = std::stol(run.at("peak_kb"));
  std::vector<Row> rows{
      {"wc -l (read limit)", wcRun.seconds, static_cast<double>(generated.traceLines), wcRun.peakKb, "lines"},
      {"sqlite3 .import, same schema", importRun.seconds, events, importRun.peakKb, ""},
      {"parse+store", number(run, "parse"), stored, runPeak, "in the run"},
      {"call reconstruction", number(run, "calls"), stored, runPeak, "in the run"},
      {"call reconstruction", number(calls, "calls_alone"), stored, std::stol(calls.at("peak_kb")), "alone"},
      {"summaries+reports", number(run, "summary"), stored, runPeak, "in the run"},
      {"summaries+reports", number(summary, "summary_alone"), stored, std::stol(summary.at("peak_kb")), "alone"},
      {"whole run, pauses skipped", number(run, "whole"), stored, runPeak, ""},
      {"second run, unchanged folder", number(run, "second"), 0, runPeak, ""},
  };

  std::printf("TRAVIK throughput benchmark\n");
  std::printf("traffic: %d lines, %g h ending %s, seed %llu, %g calls/h per line\n", options.lines, options.hours,
              options.end.toStored().c_str(), static_cast<unsigned long long>(options.seed), options.callsPerHour);
  if (options.repeat > 1) std::printf("each figure the fastest of %d repeats\n", options.repeat);
  std::printf("generated: %zu files, %s trace lines (%s), %s events, %s calls in %.2f s\n\n", generated.files.size(),
              withSeparators(static_cast<double>(generated.traceLines)).c_str(),
              megabytes(static_cast<long>(traceBytes / 1024)).c_str(), withSeparators(events).c_str(),
              withSeparators(static_cast<double>(generated.calls)).c_str(), generationSeconds);
  std::printf("%-30s %-11s %10s %14s %10s %10s\n", "stage", "", "seconds", "events/s", "x wc -l", "peak RSS");
  for (const auto& row : rows) {
    if (!row.seconds) {
      std::printf("%-30s %-11s %10s %14s %10s %10s\n", row.label.c_str(), row.note.c_str(), "n/a", "", "",
                  megabytes(row.peakKb).c_str());
      continue;
    }
    const std::string rate = row.items > 0 && *row.seconds > 0 ? withSeparators(row.items / *row.seconds) : "";
    std::printf("%-30s %-11s %10.3f %14s %9.1fx %10s\n", row.label.c_str(), row.note.c_str(), *row.seconds,
                rate.c_str(), *row.seconds / wcRun.seconds, megabytes(row.peakKb).c_str());
  }

  std::printf("\nratios and targets\n");
  if (auto parse = number(run, "parse"); parse && stored > 0)
    std::printf("  parse+store / sqlite3 .import time: %.2f (target: at most 1)\n", *parse / importRun.seconds);
  else
    std::printf("  parse+store: n/a (nothing parsed: the trace-log parser is not built yet)\n");
  const double rebuilt = number(calls, "calls_rebuilt").value_or(0);
  for (const char* key : {"calls", "calls_alone"}) {
    const auto& results = std::string(key) == "calls" ? run : calls;
    if (auto seconds = number(results, key); seconds && *seconds > 0 && rebuilt > 0)
      std::printf("  call reconstruction (%s): %s events/s (target: at least 500,000)\n",
                  std::string(key) == "calls" ? "in the run" : "alone", withSeparators(stored / *seconds).c_str());
  }
  if (rebuilt == 0) std::printf("  call reconstruction: n/a (no call rebuilt: not built yet, or nothing stored)\n");
  if (auto whole = number(run, "whole"))
    std::printf(
        "  whole run: %.3f s for %s trace lines of %d lines over %g h (target: under 2 s for a day of 24 lines)\n",
        *whole, withSeparators(static_cast<double>(generated.traceLines)).c_str(), options.lines, options.hours);
  if (auto second = number(run, "second")) std::printf("  second run over the unchanged folder: %.3f s\n", *second);
  std::printf("  peak RSS of the whole run: %s for %s trace lines\n", megabytes(runPeak).c_str(),
              withSeparators(static_cast<double>(generated.traceLines)).c_str());
  std::printf("\nrows: %s of %s events stored; %s of %s calls rebuilt (%s failed of %s generated failures)\n",
              withSeparators(stored).c_str(), withSeparators(events).c_str(),
              withSeparators(number(run, "calls_rebuilt").value_or(0)).c_str(),
              withSeparators(static_cast<double>(generated.calls)).c_str(),
              withSeparators(number(run, "failed_rebuilt").value_or(0)).c_str(),
              withSeparators(static_cast<double>(generated.failedCalls)).c_str());
  std::printf("pauses skipped in the run: %.1f s; handled errors: run %s, reconstruction %s, summaries %s\n",
              number(run, "pauses_ms").value_or(0) / 1000.0,
              run.count("handled_errors") ? run.at("handled_errors").c_str() : "?",
              calls.count("handled_errors") ? calls.at("handled_errors").c_str() : "?",
              summary.count("handled_errors") ? summary.at("handled_errors").c_str() : "?");
  if (const auto matching = number(check, "calls_matching")) {
    std::printf("calls that match the generated summary in every column: %s of %s\n", withSeparators(*matching).c_str(),
                withSeparators(static_cast<double>(generated.calls)).c_str());
    for (int i = 0; check.count("difference_" + std::to_string(i)); ++i)
      std::printf("  %s\n", check.at("difference_" + std::to_string(i)).c_str());
  }
  for (const auto* results : {&run, &check, &calls, &summary})
    if (results->count("exit") || results->count("ended_early"))
      std::printf("warning: a stage ended abnormally (exit %s)\n",
                  results->count("exit") ? results->at("exit").c_str() : "after too many handled errors");

  if (!options.keep) {
    std::error_code ec;
    if (madeWork)
      fs::remove_all(work, ec);
    else
      for (const fs::path& p : {traces, program, eventsCsv, importDb, createScript, importScript, pristine})
        fs::remove_all(p, ec);
  } else {
    std::printf("work folder kept: %s\n", work.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  Options options;
  std::string stage, result;
  fs::path programFolder, summaryFile;
  DateTime now;
  try {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      const std::string& name = arguments[i];
      if (name == "--help" || name == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
      }
      if (name == "--keep") {
        options.keep = true;
        continue;
      }
      if (i + 1 >= arguments.size() || platform::isOptionWord(arguments[i + 1]))
        throw std::invalid_argument(name + " needs a value");
      const std::string& value = arguments[++i];
      if (name == "--lines") {
        options.lines = std::stoi(value);
      } else if (name == "--hours") {
        options.hours = std::stod(value);
      } else if (name == "--seed") {
        options.seed = std::stoull(value);
      } else if (name == "--calls-per-hour") {
        options.callsPerHour = std::stod(value);
      } else if (name == "--failures") {
        options.failurePercent = std::stoi(value);
      } else if (name == "--end" || name == "--now") {
        const auto when = DateTime::parseStored(value);
        if (!when) throw std::invalid_argument(name + " must be \"YYYY-MM-DD HH:MM:SS\"");
        (name == "--end" ? options.end : now) = *when;
      } else if (name == "--repeat") {
        options.repeat = std::stoi(value);
        if (options.repeat < 1) throw std::invalid_argument("--repeat must be at least 1");
      } else if (name == "--work") {
        options.work = value;
      } else if (name == "--schema") {
        options.schema = value;
      } else if (name == "--stage") {
        stage = value;
      } else if (name == "--program") {
        programFolder = value;
      } else if (name == "--result") {
        result = value;
      } else if (name == "--summary") {
        summaryFile = value;
      } else {
        throw std::invalid_argument("unknown option " + name);
      }
    }
    if (!stage.empty()) return runStage(stage, programFolder, now, options.lines, result, summaryFile);
    return benchmark(options, fs::read_symlink("/proc/self/exe").string());
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "throughput_benchmark: %s\n\n%s", error.what(), kUsage);
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "throughput_benchmark: %s\n", error.what());
    return 1;
  }
}

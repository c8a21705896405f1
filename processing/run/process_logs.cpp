#include "processing/run/process_logs.h"

#include <strings.h>

#include <algorithm>
#include <functional>
#include <string>
#include <system_error>

#include "platform/instance_lock.h"
#include "processing/calls/process_calls.h"
#include "processing/ingest/stale_data.h"
#include "processing/ingest/trace_log_parser.h"
#include "processing/ingest/trace_read_positions.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/event_log.h"
#include "processing/runtime/file_times.h"
#include "processing/runtime/start_up.h"
#include "processing/totals/process_summary.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProcedure = "processLogs";

constexpr const char* kServiceBusy =
    "The TRAVIK service is currently processing data.  Please try again in a few moments.";

constexpr const char* kNoNewTraceFiles =
    "All MVLOG.* files found are older than the specified data retention period, or have not been modified since "
    "prior to the latest activity in the TRAVIK database.\r\n\r\n"
    "Verify that the log directory you selected is the location of the most recent logs, or increase the number "
    "of hours to retain data in TRAVIK.\r\n\r\n"
    "If necessary, clear the TRAVIK database using the Options > Purge event data selection from the menu bar.";

bool isTraceFileName(const std::string& name) {
  return name.size() >= 6 && strncasecmp(name.c_str(), "MVLOG.", 6) == 0;
}

// Clears the running mark however the run ends.
struct RunMark {
  Program& program;
  explicit RunMark(Program& p) : program(p) { program.processingLogs = true; }
  ~RunMark() { program.processingLogs = false; }
};

}  // namespace

// Left "True" by a lock, the flag would refuse the console's manual runs
// until the next cycle; one more store, after the first has waited out the
// busy timeout, rides out most contention.
void clearServiceProcessing(Program& program) {
  const auto store = [&] { storeApplicationParameter(program, parameter::kServiceProcessing, booleanText(false)); };
  if (!guardWith(store, ignoreFailure)) guard(program, "setApplicationParameter", store);
  getApplicationParameter(program);
}

std::vector<TraceFile> selectTraceFiles(const fs::path& folder, const DateTime& after,
                                        std::vector<std::string>* links) {
  std::vector<TraceFile> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (!isTraceFileName(name)) continue;
    // The entry's own type: a link is not followed, whatever it points at.
    std::error_code error;
    if (entry.is_symlink(error)) {
      if (links) links->push_back(std::move(name));
      continue;
    }
    if (!entry.is_regular_file(error)) continue;
    DateTime modified;
    try {
      modified = fileModificationTime(entry.path(), LinkHandling::NotFollowed);
    } catch (const fs::filesystem_error&) {
      continue;  // removed since the folder was listed
    }
    if (modified > after) files.push_back({modified, std::move(name), entry.path()});
  }
  std::sort(files.begin(), files.end(), [](const TraceFile& a, const TraceFile& b) {
    return a.name != b.name ? a.name < b.name : a.modified < b.modified;
  });
  return files;
}

namespace {

// Links in the trace folder are skipped: whoever may write the folder could
// otherwise have any file of the machine stored as events.  Each is named
// once while it stays, not at every run.
void reportTraceLinks(Program& program, const std::vector<std::string>& links) {
  std::erase_if(program.skippedTraceLinks,
                [&](const std::string& name) { return std::find(links.begin(), links.end(), name) == links.end(); });
  for (const std::string& name : links)
    if (program.skippedTraceLinks.insert(name).second)
      guard(program, kProcedure, [&] {
        throw HandledError(error_number::kPathFileAccess, name + " is a symbolic link, not a trace file; not read");
      });
}

std::vector<TraceFile> unreadTraceFiles(Program& program, std::vector<TraceFile> files, bool noteSizes = false) {
  std::vector<fs::path> paths;
  for (const TraceFile& file : files) paths.push_back(file.path);
  const std::vector<bool> finished = finishedTraceFiles(program, paths, noteSizes);
  std::vector<TraceFile> unread;
  for (std::size_t i = 0; i < files.size(); ++i) {
    TraceFile& file = files[i];
    file.lastLineComplete = finished[i];
    if (hasUnreadTraceLines(program, file.path, file.lastLineComplete)) unread.push_back(std::move(file));
  }
  return unread;
}

// Steps from the newest stored event to the last parsed file: finds the files
// with lines not read yet and parses them.  The notice of a run without new
// lines is left to the caller.
TraceParseResult parseNewTraceFiles(Program& program) {
  HostSlot& host = program.host;
  auto step = [&](auto&& action) { return guard(program, kProcedure, action); };
  TraceParseResult result;

  TraceLogRun run;
  run.currentEvent.lngSequence = 1;
  host.setMousePointer(kPointerHourglass);

  const std::int32_t retentionHours = program.settings.dataRetentionHours;
  // Without the newest stored event no file is parsed: the run could not
  // tell which events are stored already.
  step([&] {
    db::Statement newest = program.db.prepare(
        "select Timestamp, Milliseconds from Events order by Timestamp desc, Milliseconds desc, Sequence desc "
        "limit 1");
    if (!newest.step()) {
      run.lastEventTime = host.now().addHours(-retentionHours);
      run.lastEventMilliseconds = 0;
    } else {
      const auto stamp = DateTime::parseStored(newest.getText(0));
      if (!stamp)
        throw HandledError(error_number::kTypeMismatch, "Type mismatch: stored event time " + newest.getText(0));
      run.lastEventTime = *stamp;
      run.lastEventMilliseconds = static_cast<std::int32_t>(newest.getInt(1));
    }
    result.newestKnown = true;
  });

  // A retention that could not be read removes nothing (ClearDatabases says so).
  if (!program.unusableRetention)
    step([&] {
      showStatusLine(program, "Deleting events more than " + std::to_string(retentionHours) + " hours old...");
      db::Statement remove = program.db.prepare("delete from Events where Timestamp < ?1");
      remove.bind(1, host.now().addHours(-retentionHours).toStored()).run();
    });

  step([&] { showStatusLine(program, "Locating new activity since last processing..."); });

  // Files are read within the retention, each from its read position; the
  // newest stored event bars none of them.
  const fs::path folder = program.settings.logPath;
  const DateTime now = host.now();
  const DateTime cutoff = now.addHours(-retentionHours);
  run.retentionCutoff = cutoff;
  run.futureLimit = now.addHours(24);
  std::vector<TraceFile> inRetention;
  std::vector<std::string> links;
  if (!result.newestKnown || !step([&] { inRetention = selectTraceFiles(folder, cutoff, &links); })) return result;
  reportTraceLinks(program, links);
  step([&] {
    std::vector<std::string> listed;
    for (const TraceFile& file : inRetention) listed.push_back(traceReadPositionKey(file.path));
    pruneTraceReadPositions(program.db, folder, listed, cutoff);
  });
  step([&] { result.filesSelected = unreadTraceFiles(program, std::move(inRetention)).size(); });
  if (result.filesSelected == 0) return result;

  step([&] {
    host.setProgressMin(0);
    host.setProgressMax(static_cast<double>(result.filesSelected));
    host.setProgressValue(0);
    host.yield();
  });
  // Listed again: files that changed since the count are parsed too.
  std::vector<TraceFile> files;
  step([&] { files = unreadTraceFiles(program, selectTraceFiles(folder, cutoff), true); });
  std::int32_t parsed = 0;
  for (const TraceFile& file : files) {
    step([&] {
      showStatusLine(program, "Parsing " + file.name + "...");
      host.yield();
    });
    LogFileResult outcome = LogFileResult::NotRead;
    step([&] { outcome = ProcessLogFile(program, file.path, run, file.lastLineComplete); });
    host.sleep(700);
    ++parsed;
    step([&] {
      const double maximum = host.progressMax();
      host.setProgressValue(maximum < parsed ? maximum : parsed);
    });
    // The database refused the file: later files wait for the next run rather
    // than meet the same failure.
    if (outcome == LogFileResult::NotStored) break;
  }
  step([&] { host.setProgressValue(0); });
  result.filesRead = run.filesRead;
  result.eventsStored = run.storedEvents;
  return result;
}

// The service's standard error hears of a spell that keeps its runs from
// storing (the journal, where an operator looks) when it begins and when it
// ends, rather than only the activity log at each cycle.
void sayWhenSpellChanges(Program& program, bool& spell, bool now, const std::function<std::string()>& text) {
  if (!program.runningAsService || now == spell) return;
  spell = now;
  program.standardError(text());
}

// One run per database at a time, whichever programs start them: two runs
// would each store every new event.  The lock is held to the end of the run,
// and goes with the process if it dies.  False: no run is started.
bool takeRunLock(Program& program, platform::InstanceLock& runLock) {
  const platform::LockResult taken = runLock.tryAcquire();
  // A read-only spell of the program folder refuses every run until a remount.
  const bool readOnlySpell = taken == platform::LockResult::NotPermitted && runLock.onReadOnlyFileSystem();
  sayWhenSpellChanges(program, program.processingLockReadOnly, readOnlySpell, [&] {
    return readOnlySpell ? runLock.failure() + "; no processing run is started until it can be written."
                         : "The lock file " + runLock.file().string() + " can be written again; processing goes on.";
  });
  // So does something at the lock's name that only an operator may remove.
  const bool blocked = taken == platform::LockResult::Blocked;
  sayWhenSpellChanges(program, program.processingLockBlocked, blocked, [&] {
    return blocked ? runLock.failure() + "; no processing run is started until it is gone."
                   : "The lock file " + runLock.file().string() + " can be used again; processing goes on.";
  });
  sayLockReplaced(program, runLock);
  if (taken == platform::LockResult::Taken) return true;
  // A holder that owns the file is obeyed, but not in silence.
  if (taken == platform::LockResult::HeldElsewhere && !runLock.failure().empty())
    program.standardError(runLock.failure());
  if (taken == platform::LockResult::HeldElsewhere && !program.runningAsService) {
    program.host.messageBox(kServiceBusy, kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
    return false;
  }
  guard(program, kProcedure, [&] {
    if (taken == platform::LockResult::HeldElsewhere)
      throw HandledError(
          error_number::kPermissionDenied,
          "Another processing run is using " + program.databasePath().string() + "; this processing cycle is skipped");
    throw HandledError(
        taken == platform::LockResult::NotPermitted ? error_number::kPermissionDenied : error_number::kPathFileAccess,
        runLock.failure() + "; no processing run is started");
  });
  return false;
}

// The run's start, whose failures are ignored: the service marks itself
// processing; a manual run reloads the settings.
void markRunStarted(Program& program) {
  auto ignoring = [&](auto&& step) { guard(program, kProcedure, step, ErrorHandler::Silent); };
  if (program.runningAsService) {
    ignoring([&] { setApplicationParameter(program, parameter::kServiceProcessing, "True"); });
    return;
  }
  ignoring([&] { getApplicationParameter(program); });
  // This run holds the processing lock, so no run of the service is under
  // way: a "True" was left by a service that did not end in order (killed,
  // out of memory, a stop timeout) and would refuse every manual run.
  if (program.settings.serviceProcessing && !program.staleServiceMarkReported) {
    program.staleServiceMarkReported = true;
    guard(program, kProcedure, [&] {
      writeLog(program,
               "SERVICEPROCESSING reads \"True\" but no TRAVIK service is processing " +
                   program.databasePath().string() + "; the mark is stale and processing goes ahead.",
               true);
    });
  }
}

// After the parse: the calls rebuilt where events came or went, and the
// totals and reports with them, or only what is due of them.
void buildCallsAndTotals(Program& program, const TraceParseResult& parsed, std::int64_t obsoleteCalls) {
  HostSlot& host = program.host;
  auto step = [&](auto&& action) { return guard(program, kProcedure, action); };
  // The failure to read the newest stored event is reported; the notice
  // would blame the trace folder for it.
  if (!parsed.newestKnown) return;
  bool rebuilt = false;
  if (parsed.filesSelected == 0) {
    program.statusMessage = kNoNewTraceFiles;
    step([&] {
      if (program.runningAsService)
        myEventLog(program, event_id::kNoNewTraceFiles, 2, "");
      else
        host.messageBox(program.statusMessage, kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
    });
    step([&] { writeLog(program, program.statusMessage, true, LineBreaks::Kept); });
    // A run cut short after its parse left events whose calls are not built
    // yet.  Where nothing is rebuilt and no call went for its age, the tables
    // and the reports stay as they are, but for what a run cut short after
    // its walk left due of them.
    step([&] { rebuilt = callsToRebuild(program) && processCalls(program); });
  } else {
    step([&] { rebuilt = processCalls(program); });
  }
  // Files that held only events stored before change nothing, like no file at all.
  if (rebuilt || obsoleteCalls > 0 || parsed.eventsStored > 0)
    step([&] { processSummaryData(program); });
  else
    step([&] { processDueSummaryData(program); });
}

// A run that another process kept out of the database throughout (each
// write waited out the busy timeout and the run committed nothing) is such a
// spell.  A hold that let any write of the run through is contention, not said.
void noteLockedOut(Program& program, std::int64_t commitsAtStart) {
  const bool lockedOut = program.databaseLocked && program.db.commits() == commitsAtStart;
  sayWhenSpellChanges(program, program.databaseLockedOut, lockedOut, [&] {
    const std::string database = program.databasePath().string();
    return lockedOut ? "The TRAVIK database " + database +
                           " was locked by another process through this whole processing run: nothing was stored.  "
                           "Each cycle tries again; end what holds the database or its -shm file open."
                     : "The TRAVIK database " + database + " is no longer locked: processing stores again.";
  });
}

// What the run's last line says: "Processing complete." only for a run
// that met no error, since the operator reads it as "everything is stored".
// Short enough for the console's one-line status box.
std::string runOutcome(const Program& program, std::int32_t errors, std::int64_t commitsAtStart) {
  if (errors <= 0) return "Processing complete.";
  const std::string met = "Processing ended with " + std::to_string(errors) + (errors == 1 ? " error" : " errors");
  if (program.databaseLocked && program.db.commits() == commitsAtStart)
    return met + ": database locked, nothing stored.";
  return met + ": some call data may be missing.";
}

}  // namespace

void processLogs(Program& program) {
  // A yield inside a run can deliver the command or the timer tick that starts
  // another; running it nested would parse the same files twice.
  if (program.processingLogs) return;
  RunMark mark(program);
  HostSlot& host = program.host;
  auto ignoring = [&](auto&& step) { guard(program, kProcedure, step, ErrorHandler::Silent); };
  auto step = [&](auto&& action) { return guard(program, kProcedure, action); };

  platform::InstanceLock runLock(platform::processingLockFile(program.databasePath()));
  if (!takeRunLock(program, runLock)) return;

  program.databaseUnwritable = false;
  program.databaseLocked = false;
  const std::int64_t commitsAtStart = program.db.commits();
  const std::int32_t errorsAtStart = program.handledErrorCount;
  // A database left only reading by a spell in which it could not be written
  // (a read-only file system, a remount, a snapshot) is opened for writing
  // again; while it still cannot be, the run would fail, or wait out its busy
  // timeout, at every write.
  if ((!program.db.isOpen() || program.db.readOnly()) && !step([&] { reopenProgramDatabase(program); })) return;
  markRunStarted(program);
  // A database that cannot be written stops the run where it is met: nothing
  // more can be stored, and reports of the unchanged tables would replace
  // the previous ones as though the run had gone through.
  const auto unwritable = [&] {
    if (!program.databaseUnwritable) return false;
    if (program.runningAsService) ignoring([&] { clearServiceProcessing(program); });
    host.setMousePointer(kPointerDefault);
    return true;
  };
  ignoring([&] { closeRecordsets(program); });
  ignoring([&] { fs::current_path(program.programFolder); });

  step([&] {
    showStatusLine(program, "Connecting to database...");
    host.yield();
  });
  step([&] {
    showStatusLine(program, "Clearing database files...");
    host.yield();
  });
  // Calls removed for their age change the totals even when nothing is rebuilt.
  std::int64_t obsoleteCalls = 0;
  step([&] { obsoleteCalls = ClearDatabases(program); });
  if (unwritable()) return;

  host.sleep(500);
  step([&] { program.db.close(); });
  host.sleep(1000);
  step([&] { reopenProgramDatabase(program); });
  if (unwritable()) return;
  host.sleep(1000);

  const TraceParseResult parsed = parseNewTraceFiles(program);
  if (unwritable()) return;

  buildCallsAndTotals(program, parsed, obsoleteCalls);

  if (program.databaseUnwritable) {
    unwritable();
    return;
  }
  if (program.runningAsService) step([&] { clearServiceProcessing(program); });
  host.setMousePointer(kPointerDefault);
  step([&] {
    program.statusMessage = runOutcome(program, program.handledErrorCount - errorsAtStart, commitsAtStart);
    host.showStatus(program.statusMessage, StatusColour::WindowText);
    writeLog(program, program.statusMessage, true);
    host.yield();
  });
  noteLockedOut(program, commitsAtStart);
}

}  // namespace travik

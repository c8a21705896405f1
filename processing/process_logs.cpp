#include "processing/process_logs.h"

#include <strings.h>

#include <algorithm>
#include <system_error>

#include "processing/activity_log.h"
#include "processing/application_parameters.h"
#include "processing/error_handling.h"
#include "processing/event_log.h"
#include "processing/file_times.h"
#include "processing/process_calls.h"
#include "processing/process_summary.h"
#include "processing/stale_data.h"
#include "processing/start_up.h"
#include "processing/trace_log_parser.h"

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

void showStatusLine(Program& program, std::string_view text) {
  program.statusMessage = text;
  program.host.showStatus(program.statusMessage, StatusColour::Progress);
  writeLog(program, program.statusMessage, true);
}

std::vector<TraceFile> selectTraceFiles(const fs::path& folder, const DateTime& after) {
  std::vector<TraceFile> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (!isTraceFileName(name)) continue;
    std::error_code error;
    if (!entry.is_regular_file(error)) continue;
    DateTime modified;
    try {
      modified = fileModificationTime(entry.path());
    } catch (const fs::filesystem_error&) {
      continue;  // removed since the folder was listed
    }
    if (modified > after) files.push_back({modified, std::move(name), entry.path()});
  }
  std::sort(files.begin(), files.end(), [](const TraceFile& a, const TraceFile& b) {
    return a.modified != b.modified ? a.modified < b.modified : a.name < b.name;
  });
  return files;
}

void processLogs(Program& program) {
  // A yield inside a run can deliver the command or the timer tick that starts
  // another; running it nested would parse the same files twice.
  if (program.processingLogs) return;
  RunMark mark(program);
  Host& host = program.host;
  auto ignoring = [&](auto&& step) { guard(program, kProcedure, step, ErrorHandler::Silent); };
  auto step = [&](auto&& action) { return guard(program, kProcedure, action); };

  // Start: failures here are ignored.
  if (program.runningAsService) {
    ignoring([&] { setApplicationParameter(program, parameter::kServiceProcessing, "True"); });
  } else {
    ignoring([&] { getApplicationParameter(program); });
    if (program.settings.serviceProcessing) {
      host.messageBox(kServiceBusy, kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
      return;
    }
  }
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
  step([&] { ClearDatabases(program); });

  host.sleep(500);
  step([&] { program.db.close(); });
  host.sleep(1000);
  step([&] { program.db.open(program.databasePath().string(), program.databaseBusyTimeoutMs); });
  host.sleep(1000);

  TraceLogRun run;
  run.currentEvent.lngSequence = 1;
  host.setMousePointer(kPointerHourglass);

  const std::int32_t retentionHours = program.settings.dataRetentionHours;
  // Without the newest stored event no file may be parsed: every event would
  // count as new and be stored a second time.
  bool newestKnown = false;
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
    newestKnown = true;
  });

  step([&] {
    showStatusLine(program, "Deleting events more than " + std::to_string(retentionHours) + " hours old...");
    db::Statement remove = program.db.prepare("delete from Events where Timestamp < ?1");
    remove.bind(1, host.now().addHours(-retentionHours).toStored()).run();
  });

  step([&] { showStatusLine(program, "Locating new activity since last processing..."); });

  const fs::path folder = program.settings.logPath;
  std::size_t selected = 0;
  if (newestKnown) step([&] { selected = selectTraceFiles(folder, run.lastEventTime).size(); });

  if (selected == 0) {
    program.statusMessage = kNoNewTraceFiles;
    step([&] {
      if (program.runningAsService)
        myEventLog(program, event_id::kNoNewTraceFiles, 2, "");
      else
        host.messageBox(program.statusMessage, kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
    });
    step([&] { writeLog(program, program.statusMessage, true, LineBreaks::Kept); });
  } else {
    step([&] {
      host.setProgressMin(0);
      host.setProgressMax(static_cast<double>(selected));
      host.setProgressValue(0);
      host.yield();
    });
    // Listed again: files that changed since the count are parsed too.
    std::vector<TraceFile> files;
    step([&] { files = selectTraceFiles(folder, run.lastEventTime); });
    std::int32_t parsed = 0;
    for (const TraceFile& file : files) {
      step([&] {
        showStatusLine(program, "Parsing " + file.name + "...");
        host.yield();
      });
      LogFileResult result = LogFileResult::NotRead;
      step([&] { result = ProcessLogFile(program, file.path, run); });
      host.sleep(700);
      ++parsed;
      step([&] {
        const double maximum = host.progressMax();
        host.setProgressValue(maximum < parsed ? maximum : parsed);
      });
      // Later files would store newer events in front of this file's, and
      // the next run would never reach its events again.
      if (result == LogFileResult::NotStored) break;
    }
    step([&] { host.setProgressValue(0); });
    step([&] { processCalls(program); });
    step([&] { processSummaryData(program); });
  }

  if (program.runningAsService) step([&] { setApplicationParameter(program, parameter::kServiceProcessing, "False"); });
  host.setMousePointer(kPointerDefault);
  step([&] {
    program.statusMessage = "Processing complete.";
    host.showStatus(program.statusMessage, StatusColour::WindowText);
    writeLog(program, program.statusMessage, true);
    host.yield();
  });
}

}  // namespace travik

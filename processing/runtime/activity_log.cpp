#include "processing/runtime/activity_log.h"

#include <unistd.h>

#include <filesystem>

#include "platform/command_line.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/file_times.h"
#include "processing/text/printable_text.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

const std::string kRule(64, '=');

fs::path logsFolder(const Program& program) { return fs::path(program.settings.outputPath) / "logs"; }

void openForAppend(Program& program) {
  program.activityLog.file.close();
  program.activityLog.file.clear();
  program.activityLog.file.open(program.activityLog.fileName, std::ios::binary | std::ios::app);
  if (!program.activityLog.file)
    throw HandledError(error_number::kPathFileAccess, "Path/File access error: " + program.activityLog.fileName);
}

// Lines written before start-up begins the first file; more are dropped.
constexpr std::size_t kHeldLinesLimit = 100;
// Seconds between attempts to begin a file that the folder check let through but that failed.
constexpr std::int64_t kResumeIntervalSeconds = 60;

// Whether the output folder is there for the log.  A console that only reads
// its database has said at its start what it cannot do: a missing folder
// sends the lines to standard error rather than a box at every line.
bool outputFolderForLog(Program& program) {
  if (program.databaseReadOnly) return folderExists(program.settings.outputPath);
  return validateOutputPath(program);
}

// The cheap test before a file is begun again: the logs folder, or the output
// folder that will hold it, takes new files.
bool logsFolderWritable(const Program& program) {
  const fs::path logs = logsFolder(program);
  std::error_code ec;
  if (fs::is_directory(logs, ec)) return ::access(logs.c_str(), W_OK | X_OK) == 0;
  return ::access(program.settings.outputPath.c_str(), W_OK | X_OK) == 0;
}

// The log could not be begun (its folder missing or not writable) and the
// program still keeps one: the first line after the folder can be written
// begins a new file.  True when a file is open afterwards.
bool resumeActivityLog(Program& program) {
  ActivityLogState& log = program.activityLog;
  if (log.resuming) return false;
  const DateTime now = program.host.now();
  if (log.resumeNotBefore && now < *log.resumeNotBefore) return false;
  if (!logsFolderWritable(program)) return false;
  log.resuming = true;
  openActivityLog(program, GenerateNewLogFileName(program));
  log.resuming = false;
  if (log.file.is_open()) {
    log.resumeNotBefore.reset();
    return true;
  }
  log.resumeNotBefore = now.addSeconds(kResumeIntervalSeconds);
  return false;
}

// The lines held for the first file go into it after its header, or to
// standard error when there is none.
void releaseHeldLines(Program& program) {
  for (const std::string& line : program.activityLog.heldLines)
    if (program.activityLog.file.is_open())
      writeLog(program, line, false);
    else
      program.standardError(line);
  program.activityLog.heldLines.clear();
}

}  // namespace

std::string timeStamped(const DateTime& now, std::string_view message) {
  std::string line = now.toGeneral();
  line += ": ";
  line += message;
  return line;
}

std::string GenerateNewLogFileName(Program& program) {
  constexpr const char* kProcedure = "GenerateNewLogFileName of Module Module1";
  std::string fileName;
  guard(program, kProcedure,
        [&] { fileName = program.programFileName + "_" + program.host.now().toFileStamp() + ".log"; });
  if (!outputFolderForLog(program)) return "";
  guard(
      program, kProcedure,
      [&] {
        if (!folderExists(logsFolder(program).string())) fs::create_directories(logsFolder(program));
      },
      program.databaseReadOnly ? ErrorHandler::LogAndCount : ErrorHandler::Standard);
  pruneActivityLogs(program);
  guard(program, kProcedure, [&] { program.activityLog.fileName = (logsFolder(program) / fileName).string(); });
  return program.activityLog.fileName;
}

void openActivityLog(Program& program, const std::string& fileName) {
  constexpr const char* kProcedure = "openActivityLog";
  program.activityLog.started = true;
  program.activityLog.wanted = true;
  program.activityLog.begunOnDay = program.host.now().dayNumber();
  if (!outputFolderForLog(program)) {
    releaseHeldLines(program);
    return;
  }
  guard(
      program, kProcedure,
      [&] {
        if (fs::exists(fileName)) fs::remove(fileName);
      },
      ErrorHandler::CountOnly);
  guard(
      program, kProcedure,
      [&] {
        program.activityLog.fileName = fileName;
        openForAppend(program);
      },
      ErrorHandler::CountOnly);
  writeLog(program, kRule, false);
  writeLog(program, "Running " + program.programFileName + ", version " + platform::programVersion() + "\r\n", false,
           LineBreaks::Kept);
  writeLog(program, "Local time=" + program.host.now().toGeneral(), false);
  writeLog(program, program.runningAsService ? "TRAVIK Service activity" : "TRAVIK Administration activity", true);
  writeLog(program, kRule + "\r\n", false, LineBreaks::Kept);
  releaseHeldLines(program);
  program.host.setLogFlushTimerEnabled(true);
}

void closeActivityLog(Program& program) {
  guard(
      program, "closeActivityLog",
      [&] {
        program.activityLog.wanted = false;
        program.host.setLogFlushTimerEnabled(false);
        program.activityLog.file.close();
      },
      ErrorHandler::Silent);
}

void flushActivityLog(Program& program) {
  guard(
      program, "flushActivityLog",
      [&] {
        // A file that could not be begun is not retried here, once a minute
        // and counted each time: the next line begins it when it can.
        if (!program.activityLog.file.is_open()) return;
        program.activityLog.file.close();
        if (!program.activityLog.fileName.empty()) openForAppend(program);
      },
      ErrorHandler::CountOnly);
}

void writeLog(Program& program, std::string_view message, bool withTime, LineBreaks breaks) {
  constexpr const char* kProcedure = "writeLog";
  // A line the log cannot take goes to standard error (the journal under
  // systemd) rather than nowhere, until the log can be written again.  The
  // header's lines are left out: they say nothing without their file.
  const auto toStandardError = [&] {
    if (withTime) program.standardError(timeStamped(program.host.now(), printableText(message)));
  };
  if (!outputFolderForLog(program)) {
    toStandardError();
    return;
  }
  ActivityLogState& log = program.activityLog;
  // Lines before start-up opens the first file (a setting it could not use)
  // go into that file after its header.
  if (!log.started) {
    if (log.heldLines.size() < kHeldLinesLimit)
      log.heldLines.push_back(withTime ? timeStamped(program.host.now(), message) : std::string(message));
    return;
  }
  if (!log.file.is_open() && !(log.wanted && resumeActivityLog(program))) {
    toStandardError();
    return;
  }
  // A log file deleted behind our back: begin a new one rather than fail on every line.
  std::error_code missing;
  if (!fs::exists(program.activityLog.fileName, missing) && !missing) {
    closeActivityLog(program);
    openActivityLog(program, GenerateNewLogFileName(program));
    if (!program.activityLog.file.is_open()) {
      toStandardError();
      return;
    }
  }
  guard(
      program, kProcedure, [&] { program.activityLog.fileDate = fileModificationTime(program.activityLog.fileName); },
      ErrorHandler::CountOnly);
  const DateTime now = program.host.now();
  // A line of a new day begins a new file.
  if (program.activityLog.fileDate.dayNumber() < now.dayNumber() && log.begunOnDay != now.dayNumber()) {
    closeActivityLog(program);
    openActivityLog(program, GenerateNewLogFileName(program));
  }
  const bool written = guard(
      program, kProcedure,
      [&] {
        std::ofstream& file = program.activityLog.file;
        // One line per call: a line break from outside would forge the next line.
        std::string escaped;
        if (breaks == LineBreaks::Escaped && hasControlCharacters(message)) message = escaped = printableText(message);
        if (withTime)
          file << timeStamped(now, message);
        else
          file << message;
        file << "\r\n";
        if (!file) throw HandledError(error_number::kPathFileAccess, "Path/File access error");
      },
      ErrorHandler::CountOnly);
  if (!written) toStandardError();
  program.host.yield();
}

void showStatusLine(Program& program, std::string_view text) {
  program.statusMessage = text;
  program.host.showStatus(program.statusMessage, StatusColour::Progress);
  writeLog(program, program.statusMessage, true);
}

void pruneActivityLogs(Program& program) {
  constexpr const char* kProcedure = "pruneActivityLogs";
  if (!outputFolderForLog(program)) return;
  guard(
      program, kProcedure,
      [&] {
        const fs::path folder = logsFolder(program);
        if (!folderExists(folder.string())) return;
        const DateTime now = program.host.now();
        std::vector<fs::path> old;
        for (const auto& entry : fs::directory_iterator(folder)) {
          if (!entry.is_regular_file()) continue;
          if (fileModificationTime(entry.path()).dayBoundariesUntil(now) > 10) old.push_back(entry.path());
        }
        for (const auto& file : old)
          guard(
              program, kProcedure, [&] { fs::remove(file); }, ErrorHandler::CountOnly);
      },
      ErrorHandler::CountOnly);
}

}  // namespace travik

#include "processing/activity_log.h"

#include <filesystem>

#include "processing/application_parameters.h"
#include "processing/error_handling.h"
#include "processing/file_times.h"
#include "processing/printable_text.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

const std::string kRule(64, '=');

fs::path logsFolder(const Program& program) { return fs::path(program.settings.outputPath) / "logs"; }

std::string versionText() {
  return std::to_string(TRAVIK_VERSION_MAJOR) + "." + std::to_string(TRAVIK_VERSION_MINOR) + "." +
         std::to_string(TRAVIK_VERSION_REVISION);
}

void openForAppend(Program& program) {
  program.activityLog.file.close();
  program.activityLog.file.clear();
  program.activityLog.file.open(program.activityLog.fileName, std::ios::binary | std::ios::app);
  if (!program.activityLog.file)
    throw HandledError(error_number::kPathFileAccess, "Path/File access error: " + program.activityLog.fileName);
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
  if (!validateOutputPath(program)) return "";
  guard(program, kProcedure, [&] {
    if (!folderExists(logsFolder(program).string())) fs::create_directories(logsFolder(program));
  });
  pruneActivityLogs(program);
  guard(program, kProcedure, [&] { program.activityLog.fileName = (logsFolder(program) / fileName).string(); });
  return program.activityLog.fileName;
}

void openActivityLog(Program& program, const std::string& fileName) {
  constexpr const char* kProcedure = "openActivityLog";
  if (!validateOutputPath(program)) return;
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
  writeLog(program, "Running " + program.programFileName + ", version " + versionText() + "\r\n", false,
           LineBreaks::Kept);
  writeLog(program, "Local time=" + program.host.now().toGeneral(), false);
  writeLog(program, program.runningAsService ? "TRAVIK Service activity" : "TRAVIK Administration activity", true);
  writeLog(program, kRule + "\r\n", false, LineBreaks::Kept);
  program.host.setLogFlushTimerEnabled(true);
}

void closeActivityLog(Program& program) {
  guard(
      program, "closeActivityLog",
      [&] {
        program.host.setLogFlushTimerEnabled(false);
        program.activityLog.file.close();
      },
      ErrorHandler::Silent);
}

void flushActivityLog(Program& program) {
  guard(
      program, "flushActivityLog",
      [&] {
        program.activityLog.file.close();
        if (!program.activityLog.fileName.empty()) openForAppend(program);
      },
      ErrorHandler::CountOnly);
}

void writeLog(Program& program, std::string_view message, bool withTime, LineBreaks breaks) {
  constexpr const char* kProcedure = "writeLog";
  if (!validateOutputPath(program)) return;
  // Nothing is open before start-up opens the first file.
  if (program.activityLog.fileName.empty() || !program.activityLog.file.is_open()) return;
  // A log file deleted behind our back: begin a new one rather than fail on every line.
  std::error_code missing;
  if (!fs::exists(program.activityLog.fileName, missing) && !missing) {
    closeActivityLog(program);
    openActivityLog(program, GenerateNewLogFileName(program));
    if (!program.activityLog.file.is_open()) return;
  }
  guard(
      program, kProcedure, [&] { program.activityLog.fileDate = fileModificationTime(program.activityLog.fileName); },
      ErrorHandler::CountOnly);
  const DateTime now = program.host.now();
  // A line of a new day begins a new file.
  if (program.activityLog.fileDate.dayNumber() < now.dayNumber()) {
    closeActivityLog(program);
    openActivityLog(program, GenerateNewLogFileName(program));
  }
  guard(
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
  program.host.yield();
}

void pruneActivityLogs(Program& program) {
  constexpr const char* kProcedure = "pruneActivityLogs";
  if (!validateOutputPath(program)) return;
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

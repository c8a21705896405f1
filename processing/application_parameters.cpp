#include "processing/application_parameters.h"

#include <strings.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "processing/activity_log.h"
#include "processing/error_handling.h"
#include "processing/event_log.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kKeys[] = {
    "DEFAULTMVLOGPATH",  "DEFAULTOUTPUTPATH", "DATARETENTIONINHOURS", "PROCESSINTERVALINSECONDS",
    "WARNINGTHRESHOLD",  "ERRORTHRESHOLD",    "ERRORINTERVALINHOURS", "TESTCALLINTERVALINMINUTES",
    "TESTCALLMAILBOXID", "AUTOTEST",          "ADMINRUNNING",         "SERVICEPROCESSING"};

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

HandledError typeMismatch() { return HandledError(error_number::kTypeMismatch, "Type mismatch"); }

std::int32_t wholeNumberOrThrow(const std::optional<std::string>& value) {
  if (!value) throw HandledError(94, "Invalid use of Null");
  const auto number = toWholeNumber(*value);
  if (!number) throw typeMismatch();
  return *number;
}

bool booleanOrThrow(const std::optional<std::string>& value) {
  if (!value) throw HandledError(94, "Invalid use of Null");
  const auto flag = toBoolean(*value);
  if (!flag) throw typeMismatch();
  return *flag;
}

// The trace folder when none is configured: the gateway's own, else the program folder.
std::string defaultLogPath(const Program& program) {
  return folderExists(program.defaultTraceFolder.string()) ? program.defaultTraceFolder.string()
                                                           : program.programFolder.string();
}

std::string defaultOutputPath(const Program& program) {
  const fs::path output = program.programFolder / "output";
  if (!folderExists(output.string())) fs::create_directories(output);
  return output.string();
}

}  // namespace

std::optional<std::int32_t> toWholeNumber(std::string_view text) {
  const std::string value(trimmed(text));
  if (value.empty()) return std::nullopt;
  char* end = nullptr;
  const double number = std::strtod(value.c_str(), &end);
  if (end != value.c_str() + value.size() || !std::isfinite(number)) return std::nullopt;
  const double rounded = std::nearbyint(number);  // the default rounding mode: halves to even
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(rounded);
}

std::optional<bool> toBoolean(std::string_view text) {
  const std::string_view value = trimmed(text);
  if (value.size() == 4 && strncasecmp(value.data(), "true", 4) == 0) return true;
  if (value.size() == 5 && strncasecmp(value.data(), "false", 5) == 0) return false;
  const std::string number(value);
  if (number.empty()) return std::nullopt;
  char* end = nullptr;
  const double parsed = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size()) return std::nullopt;
  return parsed != 0.0;
}

int determineApplicationParameter(std::string_view name) {
  for (int i = 0; i < 12; ++i) {
    const std::string_view key = kKeys[i];
    if (key.size() == name.size() && strncasecmp(key.data(), name.data(), name.size()) == 0) return i + 1;
  }
  return 0;
}

void getApplicationParameter(Program& program) {
  constexpr const char* kProcedure = "getApplicationParameter";
  db::Statement rows;
  if (!guard(program, kProcedure, [&] {
        rows = program.db.prepare("select rowid, property, value from applicationparameters order by rowid");
      }))
    return;
  db::Statement update;
  Settings& settings = program.settings;
  for (;;) {
    bool more = false;
    if (!guard(program, kProcedure, [&] { more = rows.step(); }) || !more) break;
    int index = 0;
    std::optional<std::string> value;
    std::int64_t rowId = 0;
    guard(program, kProcedure, [&] {
      rowId = rows.getInt(0);
      index = determineApplicationParameter(rows.getText(1));
      if (!rows.isNull(2)) value = rows.getText(2);
    });
    // A default chosen for an empty folder setting is written back to its row.
    auto storeDefault = [&](const std::string& text) {
      if (!update.valid()) update = program.db.prepare("update applicationparameters set value = ?1 where rowid = ?2");
      update.bind(1, text).bind(2, rowId).run();
    };
    guard(program, kProcedure, [&] {
      switch (index) {
        case parameter::kDefaultMvLogPath:
          if (value && !value->empty()) {
            settings.logPath = *value;
          } else {
            settings.logPath = defaultLogPath(program);
            storeDefault(settings.logPath);
          }
          break;
        case parameter::kDefaultOutputPath:
          if (value && !value->empty()) {
            settings.outputPath = *value;
          } else {
            settings.outputPath = defaultOutputPath(program);
            storeDefault(settings.outputPath);
          }
          break;
        case parameter::kDataRetentionInHours: settings.dataRetentionHours = wholeNumberOrThrow(value); break;
        case parameter::kProcessIntervalInSeconds: settings.processIntervalSeconds = wholeNumberOrThrow(value); break;
        case parameter::kWarningThreshold: settings.warningThreshold = wholeNumberOrThrow(value); break;
        case parameter::kErrorThreshold: settings.errorThreshold = wholeNumberOrThrow(value); break;
        case parameter::kErrorIntervalInHours: settings.errorIntervalHours = wholeNumberOrThrow(value); break;
        case parameter::kTestCallIntervalInMinutes: settings.testCallIntervalMinutes = wholeNumberOrThrow(value); break;
        case parameter::kTestCallMailboxId:
          if (!value) throw HandledError(94, "Invalid use of Null");
          settings.testCallMailboxId = *value;
          break;
        case parameter::kAutoTest: settings.autoTest = booleanOrThrow(value); break;
        case parameter::kAdminRunning: settings.adminRunning = booleanOrThrow(value); break;
        case parameter::kServiceProcessing: settings.serviceProcessing = booleanOrThrow(value); break;
        default: break;
      }
    });
  }
}

void setApplicationParameter(Program& program, int index, std::string_view value) {
  constexpr const char* kProcedure = "setApplicationParameter";
  guard(program, kProcedure, [&] {
    db::Statement rows = program.db.prepare("select rowid, property from applicationparameters");
    std::vector<std::int64_t> matching;
    while (rows.step())
      if (determineApplicationParameter(rows.getText(1)) == index) matching.push_back(rows.getInt(0));
    rows = db::Statement();
    if (matching.empty()) return;
    db::Transaction transaction(program.db);
    db::Statement update = program.db.prepare("update applicationparameters set value = ?1 where rowid = ?2");
    for (std::int64_t rowId : matching) update.bind(1, value).bind(2, rowId).run();
    update = db::Statement();
    transaction.commit();
  });
  getApplicationParameter(program);
}

bool folderExists(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(fs::path(std::string(path)), ec);
}

bool validateLogPath(Program& program) {
  bool valid = false;
  guard(program, "validateLogPath()", [&] {
    const std::string& logPath = program.settings.logPath;
    if (folderExists(logPath)) {
      bool found = false;
      std::error_code ec;
      for (const auto& entry : fs::directory_iterator(fs::path(logPath), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= 6 && strncasecmp(name.c_str(), "MVLOG.", 6) == 0 && !entry.is_directory(ec)) found = true;
      }
      if (found) {
        valid = true;
        return;
      }
      program.statusMessage =
          logPath + " exists but does not contain valid log files.  Please configure a valid path for the log files.";
    } else {
      program.statusMessage = logPath + " does not exist.  Please configure a valid path for the log files.";
    }
    if (program.runningAsService)
      writeLog(program, program.statusMessage, true);
    else
      program.host.messageBox(program.statusMessage, "Enter Valid Log Path", MessageButtons::Ok,
                              MessageIcon::Exclamation);
  });
  return valid;
}

bool validateOutputPath(Program& program) {
  bool valid = false;
  guard(
      program, "validateOutputPath()",
      [&] {
        if (folderExists(program.settings.outputPath)) {
          valid = true;
          return;
        }
        program.statusMessage =
            program.settings.outputPath + " does not exist.  Please select a valid folder for output files.";
        if (program.runningAsService)
          myEventLog(program, event_id::kOutputFolderMissing, 3, "");
        else
          program.host.messageBox(program.statusMessage, "Configure Valid Output Folder", MessageButtons::Ok,
                                  MessageIcon::Exclamation);
      },
      ErrorHandler::BoxAndCount);
  return valid;
}

}  // namespace travik

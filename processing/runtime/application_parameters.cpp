#include "processing/runtime/application_parameters.h"

#include <strings.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <optional>
#include <system_error>

#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/event_log.h"
#include "processing/runtime/read_only_mode.h"
#include "processing/text/number_text.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

constexpr const char* kProcedure = "getApplicationParameter";

const SettingKey& settingKey(int index) { return kSettingKeys[index - 1]; }

// What one load found unusable for a key: the row's text (nothing for NULL).
struct Unusable {
  std::optional<std::string> text;
};

// What a NULL value or a missing row leaves in Program::reportedSettings (no
// row's text begins with the control character).
constexpr const char* kNullMarker = "\x01null";
constexpr const char* kNoRowMarker = "\x01no row";

std::string quotedValue(const std::optional<std::string>& text) { return text ? "\"" + *text + "\"" : "Null"; }

// Reports an unusable setting once: a reload that finds the same text again
// stays silent, so a bad row cannot run up the count of handled errors.
void reportOnce(Program& program, int index, const std::string& marker, const HandledError& error) {
  std::optional<std::string>& reported = program.reportedSettings[static_cast<std::size_t>(index)];
  if (reported == marker) return;
  reported = marker;
  handleError(program, error, kProcedure);
}

// Why a number's row cannot be used: the error number, and the key and the
// row's text with what is wrong with it.
struct NumberFault {
  long number;
  std::string text;
};
NumberFault numberFault(const std::string& key, const std::optional<std::string>& text) {
  if (!text) return {error_number::kInvalidUseOfNull, key + " is Null"};
  const std::string said = key + " " + quotedValue(text);
  if (!roundedWholeNumber(*text)) return {error_number::kTypeMismatch, said + " is not a number"};
  if (!toWholeNumber(*text)) return {error_number::kOverflow, said + " is out of range"};
  return {error_number::kInvalidProcedureCall, said + " is below 1"};
}

// After a load: a numeric setting that has never held a usable value (the
// first load, or every load so far failed) takes its delivered value.
void settleNumericSetting(Program& program, int index, const std::optional<Unusable>& unusable, bool tableRead) {
  const SettingKey& setting = settingKey(index);
  std::int32_t& variable = program.settings.*setting.number;
  const std::string key = setting.key;
  const std::string delivered = std::to_string(setting.delivered);
  if (!unusable) {
    if (variable >= 1) return;
    variable = setting.delivered;
    if (tableRead)
      reportOnce(program, index, kNoRowMarker,
                 HandledError(error_number::kInvalidUseOfNull,
                              key + " has no row; the delivered value " + delivered + " is used"));
    return;
  }
  const std::string marker = unusable->text ? *unusable->text : kNullMarker;
  const auto [number, fault] = numberFault(key, unusable->text);
  if (variable >= 1) {
    reportOnce(program, index, marker,
               HandledError(number, fault + "; the value " + std::to_string(variable) + " is kept"));
    return;
  }
  variable = setting.delivered;
  // A retention mistyped must not empty the database of its history.
  if (setting.number == &Settings::dataRetentionHours) program.unusableRetention = quotedValue(unusable->text);
  reportOnce(program, index, marker, HandledError(number, fault + "; the delivered value " + delivered + " is used"));
}

// The trace folder when none is configured: the gateway's own, else the program folder.
std::string defaultLogPath(const Program& program) {
  return folderExists(program.defaultTraceFolder.string()) ? program.defaultTraceFolder.string()
                                                           : program.programFolder.string();
}

std::string defaultOutputPath(const Program& program) {
  const fs::path output = program.programFolder / "output";
  // A console that only reads its database creates nothing in the program folder.
  if (!folderExists(output.string()) && !program.databaseReadOnly) fs::create_directories(output);
  return output.string();
}

}  // namespace

std::optional<std::int32_t> toWholeNumber(std::string_view text) {
  const std::optional<double> rounded = roundedWholeNumber(text);
  if (!rounded || *rounded < -2147483648.0 || *rounded > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(*rounded);
}

std::optional<bool> toBoolean(std::string_view text) {
  const std::string_view value = trimmed(text);
  if (value.size() == 4 && strncasecmp(value.data(), "true", 4) == 0) return true;
  if (value.size() == 5 && strncasecmp(value.data(), "false", 5) == 0) return false;
  const std::optional<double> number = decimalNumber(value);
  if (!number) return std::nullopt;
  return *number != 0.0;
}

int determineApplicationParameter(std::string_view name) {
  for (int index = 1; index <= kSettingKeyCount; ++index) {
    const std::string_view key = settingKey(index).key;
    if (key.size() == name.size() && strncasecmp(key.data(), name.data(), name.size()) == 0) return index;
  }
  return 0;
}

namespace {

// One load of the settings table.
struct SettingsLoad {
  // Per key index, what this load found unusable in the key's last row.
  PerSettingKey<std::optional<Unusable>> unusable;
  bool tableRead = false;  // every row was read
  db::Statement update;    // prepared when a default is written back
};

// One row of the table: its value into its setting.  A row that does not
// convert leaves its variable as it was; the last row of a key decides
// whether the key is reported.
void applySettingRow(Program& program, SettingsLoad& load, std::int64_t rowId, int index,
                     const std::optional<std::string>& value) {
  Settings& settings = program.settings;
  auto judge = [&](bool usable) {
    load.unusable[static_cast<std::size_t>(index)] = usable ? std::nullopt : std::optional<Unusable>(Unusable{value});
  };
  // A folder setting left empty takes its default, which is written back to its row.
  auto folder = [&](std::string& variable, std::string (*fallback)(const Program&)) {
    if (value && !value->empty()) {
      variable = *value;
      return;
    }
    variable = fallback(program);
    if (program.databaseReadOnly) return;
    if (!load.update.valid())
      load.update = program.db.prepare("update applicationparameters set value = ?1 where rowid = ?2");
    load.update.bind(1, variable).bind(2, rowId).run();
  };
  auto boolean = [&](bool& variable) {
    const std::optional<bool> flag = value ? toBoolean(*value) : std::nullopt;
    if (flag) variable = *flag;
    judge(flag.has_value());
  };
  if (index >= 1 && settingKey(index).kind == SettingKind::Number) {
    const std::optional<std::int32_t> number = value ? toWholeNumber(*value) : std::nullopt;
    const bool usable = number && *number >= 1;
    if (usable) settings.*settingKey(index).number = *number;
    if (usable && settingKey(index).number == &Settings::dataRetentionHours) program.unusableRetention.reset();
    judge(usable);
    return;
  }
  switch (index) {
    case parameter::kDefaultMvLogPath: folder(settings.logPath, defaultLogPath); break;
    case parameter::kDefaultOutputPath: folder(settings.outputPath, defaultOutputPath); break;
    case parameter::kTestCallMailboxId:
      if (value) settings.testCallMailboxId = *value;
      judge(value.has_value());
      break;
    case parameter::kAutoTest: boolean(settings.autoTest); break;
    case parameter::kAdminRunning: boolean(settings.adminRunning); break;
    case parameter::kServiceProcessing: boolean(settings.serviceProcessing); break;
    default: break;
  }
}

// Every row, in the order stored; a row that fails is reported and skipped.
void readSettingRows(Program& program, SettingsLoad& load) {
  db::Statement rows;
  if (!guard(program, kProcedure, [&] {
        rows = program.db.prepare("select rowid, property, value from applicationparameters order by rowid");
      }))
    return;
  for (;;) {
    bool more = false;
    if (!guard(program, kProcedure, [&] { more = rows.step(); })) return;
    if (!more) {
      load.tableRead = true;
      return;
    }
    int index = 0;
    std::optional<std::string> value;
    std::int64_t rowId = 0;
    guard(program, kProcedure, [&] {
      rowId = rows.getInt(0);
      index = determineApplicationParameter(rows.getText(1));
      if (!rows.isNull(2)) value = rows.getText(2);
    });
    guard(program, kProcedure, [&] { applySettingRow(program, load, rowId, index, value); });
  }
}

// The text and flag settings whose last row was unusable, each reported once.
void reportUnusableTextSettings(Program& program, const SettingsLoad& load) {
  for (int index = 1; index <= kSettingKeyCount; ++index) {
    const SettingKind kind = settingKey(index).kind;
    if (kind != SettingKind::Text && kind != SettingKind::Flag) continue;
    const std::optional<Unusable>& found = load.unusable[static_cast<std::size_t>(index)];
    if (!found) continue;
    // The key is named, as a number's is: "Type mismatch" alone does not say which row to mend.
    const std::string key = settingKey(index).key;
    if (found->text)
      reportOnce(program, index, *found->text,
                 HandledError(error_number::kTypeMismatch,
                              key + " " + quotedValue(found->text) + " is not True or False; the value is kept"));
    else
      reportOnce(program, index, kNullMarker, HandledError(error_number::kInvalidUseOfNull, key + " is Null"));
  }
}

}  // namespace

void getApplicationParameter(Program& program) {
  SettingsLoad load;
  readSettingRows(program, load);
  load.update = db::Statement();
  for (int index = 1; index <= kSettingKeyCount; ++index)
    if (settingKey(index).kind == SettingKind::Number)
      settleNumericSetting(program, index, load.unusable[static_cast<std::size_t>(index)], load.tableRead);
  reportUnusableTextSettings(program, load);
  // A key whose rows all loaded is reported again when it next goes bad.
  if (load.tableRead)
    for (std::size_t index = 1; index < load.unusable.size(); ++index)
      if (!load.unusable[index]) program.reportedSettings[index].reset();
}

void storeApplicationParameter(Program& program, int index, std::string_view value) {
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
}

bool setApplicationParameter(Program& program, int index, std::string_view value) {
  // A database only read keeps its rows: the interlock flags are not marked,
  // and an operator's change of a setting is refused.
  if (program.databaseReadOnly) {
    if (index == parameter::kAdminRunning || index == parameter::kServiceProcessing) return false;
    bool changed = false;
    guard(program, "setApplicationParameter", [&] {
      db::Statement rows = program.db.prepare("select property, value from applicationparameters");
      while (rows.step())
        if (determineApplicationParameter(rows.getText(0)) == index && (rows.isNull(1) || rows.getText(1) != value))
          changed = true;
    });
    if (changed) refuseWhileDatabaseReadOnly(program);
    return !changed;
  }
  const bool stored =
      guard(program, "setApplicationParameter", [&] { storeApplicationParameter(program, index, value); });
  getApplicationParameter(program);
  return stored;
}

bool folderExists(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(fs::path(std::string(path)), ec);
}

namespace {

// The journal hears when the trace folder cannot be used, once while it stays
// so, and when it can be used again: the activity log alone would leave an
// unmounted share looking like a quiet gateway.  trouble: the report of why it
// cannot be used, empty when it can, nullopt when the check itself failed.
void noteTraceFolderTrouble(Program& program, const std::optional<std::string>& trouble) {
  if (!program.runningAsService || !trouble || *trouble == program.traceFolderTrouble) return;
  program.standardError(trouble->empty() ? "The trace folder " + program.settings.logPath + " can be used again."
                                         : *trouble);
  program.traceFolderTrouble = *trouble;
}

}  // namespace

bool validateLogPath(Program& program) {
  bool valid = false;
  std::optional<std::string> trouble;
  guard(program, "validateLogPath()", [&] {
    const std::string& logPath = program.settings.logPath;
    constexpr const char* kConfigure = "  Please configure a valid path for the log files.";
    // A folder reached through a link serves as any other.
    std::error_code examined;
    const fs::file_status status = fs::status(fs::path(logPath), examined);
    if (fs::is_directory(status)) {
      bool found = false;
      std::error_code listing;
      for (fs::directory_iterator it(fs::path(logPath), listing), end; !listing && it != end; it.increment(listing)) {
        std::error_code ec;
        const std::string name = it->path().filename().string();
        if (name.size() >= 6 && strncasecmp(name.c_str(), "MVLOG.", 6) == 0 && !it->is_directory(ec)) found = true;
      }
      trouble.emplace();
      if (found) {
        valid = true;
        return;
      }
      // A folder that cannot be listed is no folder without trace files.
      if (listing)
        trouble = program.statusMessage =
            logPath + " exists but cannot be read (" + listing.message() + ")." + kConfigure;
      else
        program.statusMessage = logPath + " exists but does not contain valid log files." + kConfigure;
    } else if (fs::exists(status)) {
      // A FIFO, a device, a plain file.
      trouble = program.statusMessage = logPath + " exists but is not a folder." + kConfigure;
    } else if (examined && examined != std::errc::no_such_file_or_directory && examined != std::errc::not_a_directory) {
      trouble = program.statusMessage = logPath + " cannot be read (" + examined.message() + ")." + kConfigure;
    } else {
      trouble = program.statusMessage = logPath + " does not exist." + kConfigure;
    }
    if (program.runningAsService)
      writeLog(program, program.statusMessage, true);
    else
      program.host.messageBox(program.statusMessage, "Enter Valid Log Path", MessageButtons::Ok,
                              MessageIcon::Exclamation);
  });
  noteTraceFolderTrouble(program, trouble);
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
        if (program.runningAsService) {
          myEventLog(program, event_id::kOutputFolderMissing, 3, "");
          // The entry's text is fixed; the folder it means goes beside it.
          program.standardError(program.statusMessage);
        } else
          program.host.messageBox(program.statusMessage, "Configure Valid Output Folder", MessageButtons::Ok,
                                  MessageIcon::Exclamation);
      },
      ErrorHandler::BoxAndCount);
  return valid;
}

}  // namespace travik

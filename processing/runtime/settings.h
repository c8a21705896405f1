// The settings: the keys of applicationparameters and the values they load into.
//
// kSettingKeys is the one list of the keys.  A key's index is its place there,
// counted from 1 (0 is no key); the named indexes, the count and every array
// kept per key are taken from it, so a key added to it has its place in each.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace travik {

// The settings' values, loaded from applicationparameters.
struct Settings {
  std::string logPath;                       // DEFAULTMVLOGPATH
  std::string outputPath;                    // DEFAULTOUTPUTPATH
  std::int32_t dataRetentionHours = 0;       // DATARETENTIONINHOURS
  std::int32_t processIntervalSeconds = 0;   // PROCESSINTERVALINSECONDS
  std::int32_t warningThreshold = 0;         // WARNINGTHRESHOLD
  std::int32_t errorThreshold = 0;           // ERRORTHRESHOLD
  std::int32_t errorIntervalHours = 0;       // ERRORINTERVALINHOURS
  std::int32_t testCallIntervalMinutes = 0;  // TESTCALLINTERVALINMINUTES
  std::string testCallMailboxId;             // TESTCALLMAILBOXID
  bool autoTest = false;                     // AUTOTEST
  bool adminRunning = false;                 // ADMINRUNNING
  bool serviceProcessing = false;            // SERVICEPROCESSING
};

// How a setting's text is read.
enum class SettingKind {
  Folder,  // a folder; empty takes the default folder, written back to the row
  Number,  // a whole number of at least 1
  Text,    // any text
  Flag,    // True or False, or a number (0 is False)
};

// A key of applicationparameters.  Every number is a count, a period or a
// threshold: a value below 1 is never meant (a retention of 0 hours would
// delete every event and call at the next run), and its delivered value (the
// row a new database holds) is used instead.
struct SettingKey {
  const char* key;
  SettingKind kind;
  std::int32_t Settings::*number = nullptr;
  std::int32_t delivered = 0;
};

inline constexpr SettingKey kSettingKeys[] = {
    {"DEFAULTMVLOGPATH", SettingKind::Folder},
    {"DEFAULTOUTPUTPATH", SettingKind::Folder},
    {"DATARETENTIONINHOURS", SettingKind::Number, &Settings::dataRetentionHours, 72},
    {"PROCESSINTERVALINSECONDS", SettingKind::Number, &Settings::processIntervalSeconds, 3600},
    {"WARNINGTHRESHOLD", SettingKind::Number, &Settings::warningThreshold, 3},
    {"ERRORTHRESHOLD", SettingKind::Number, &Settings::errorThreshold, 5},
    {"ERRORINTERVALINHOURS", SettingKind::Number, &Settings::errorIntervalHours, 24},
    {"TESTCALLINTERVALINMINUTES", SettingKind::Number, &Settings::testCallIntervalMinutes, 1440},
    {"TESTCALLMAILBOXID", SettingKind::Text},
    {"AUTOTEST", SettingKind::Flag},
    {"ADMINRUNNING", SettingKind::Flag},
    {"SERVICEPROCESSING", SettingKind::Flag},
};
inline constexpr int kSettingKeyCount = static_cast<int>(std::size(kSettingKeys));

// What is kept per key, by the key's index ([0], no key, stays unused).
template <typename T>
using PerSettingKey = std::array<T, kSettingKeyCount + 1>;

// The index of a key of the table; a name that is none of them does not compile.
consteval int settingIndex(std::string_view key) {
  for (int index = 1; index <= kSettingKeyCount; ++index)
    if (kSettingKeys[index - 1].key == key) return index;
  throw std::invalid_argument("not a key of kSettingKeys");
}

// The indexes the code names.
namespace parameter {
inline constexpr int kDefaultMvLogPath = settingIndex("DEFAULTMVLOGPATH");
inline constexpr int kDefaultOutputPath = settingIndex("DEFAULTOUTPUTPATH");
inline constexpr int kDataRetentionInHours = settingIndex("DATARETENTIONINHOURS");
inline constexpr int kProcessIntervalInSeconds = settingIndex("PROCESSINTERVALINSECONDS");
inline constexpr int kWarningThreshold = settingIndex("WARNINGTHRESHOLD");
inline constexpr int kErrorThreshold = settingIndex("ERRORTHRESHOLD");
inline constexpr int kErrorIntervalInHours = settingIndex("ERRORINTERVALINHOURS");
inline constexpr int kTestCallIntervalInMinutes = settingIndex("TESTCALLINTERVALINMINUTES");
inline constexpr int kTestCallMailboxId = settingIndex("TESTCALLMAILBOXID");
inline constexpr int kAutoTest = settingIndex("AUTOTEST");
inline constexpr int kAdminRunning = settingIndex("ADMINRUNNING");
inline constexpr int kServiceProcessing = settingIndex("SERVICEPROCESSING");
}  // namespace parameter

}  // namespace travik

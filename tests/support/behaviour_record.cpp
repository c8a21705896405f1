#include "tests/support/behaviour_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "platform/db.h"
#include "tests/support/test_program.h"

namespace travik::test {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPlaceholder = "<program folder>";

std::string replaced(std::string text, const std::string& folder) {
  for (std::size_t at = 0; (at = text.find(folder, at)) != std::string::npos; at += std::string(kPlaceholder).size())
    text.replace(at, folder.size(), kPlaceholder);
  return text;
}

// "TRAVIK-REPORT.calls.06152005.120100.csv" becomes "TRAVIK-REPORT.calls.csv".
std::string withoutStamp(std::string name) {
  const std::string suffix = ".csv";
  if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return name;
  std::string stem = name.substr(0, name.size() - suffix.size());
  for (int part = 0; part < 2; ++part) {
    const std::size_t dot = stem.rfind('.');
    if (dot == std::string::npos || dot + 1 == stem.size() ||
        !std::all_of(stem.begin() + static_cast<std::ptrdiff_t>(dot) + 1, stem.end(),
                     [](unsigned char c) { return std::isdigit(c); }))
      return name;
    stem.erase(dot);
  }
  return stem + suffix;
}

void recordTables(db::Connection& db, const std::string& folder, const fs::path& into) {
  std::vector<std::string> tables;
  {
    auto names = db.prepare("select name from sqlite_master where type = 'table' order by name");
    while (names.step()) tables.push_back(names.getText(0));
  }
  for (const std::string& table : tables) {
    std::vector<std::string> columns;
    {
      auto info = db.prepare("select name from pragma_table_info(?1) order by cid");
      info.bind(1, table);
      while (info.step())
        if (!(table == "Events" && info.getText(0) == "Sequence")) columns.push_back(info.getText(0));
    }
    std::string select = "select ";
    std::string header;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      select += (i ? ", \"" : "\"") + columns[i] + "\"";
      header += (i ? "|" : "") + columns[i];
    }
    select += " from \"" + table + "\"";
    std::vector<std::string> rows;
    auto statement = db.prepare(select);
    while (statement.step()) {
      std::string row;
      for (int i = 0; i < statement.columnCount(); ++i) {
        if (i) row += '|';
        row += statement.isNull(i) ? "<null>" : statement.getText(i);
      }
      rows.push_back(replaced(std::move(row), folder));
    }
    std::sort(rows.begin(), rows.end());
    std::string text = header + '\n';
    for (const std::string& row : rows) text += row + '\n';
    writeFile(into / (table + ".txt"), text);
  }
}

// The files of `from` in name order; names that agree once their stamps are
// gone are told apart by their order.
void copyFiles(const fs::path& from, const std::string& folder, const fs::path& into, bool unstamped) {
  std::vector<fs::path> files;
  std::error_code missing;
  for (const auto& entry : fs::directory_iterator(from, missing))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    fs::create_directories(into);
    const std::string name = unstamped ? withoutStamp(file.filename().string()) : file.filename().string();
    fs::path target = into / name;
    for (int n = 2; fs::exists(target); ++n) target = into / (name + "." + std::to_string(n));
    writeFile(target, replaced(readFile(file), folder));
  }
}

}  // namespace

std::optional<fs::path> recordRoot() {
  const char* root = std::getenv("TRAVIK_RECORD_DIR");
  if (!root || !*root) return std::nullopt;
  return fs::path(root);
}

fs::path testRecordFolder(const fs::path& root) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return root / "outside-a-test";
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  if (info->value_param()) name += std::string("(") + info->value_param() + ")";
  for (char& c : name)
    if (c == '/') c = '_';
  return root / name;
}

void writeBehaviourRecord(db::Connection& db, const fs::path& programFolder, const fs::path& into) {
  const std::string folder = programFolder.string();
  fs::remove_all(into);
  fs::create_directories(into);
  recordTables(db, folder, into);
  copyFiles(programFolder / "output", folder, into / "reports", true);
  copyFiles(programFolder / "output" / "logs", folder, into / "logs", false);
}

}  // namespace travik::test

#include "admin/widgets/folder_list.h"

#include <QListWidgetItem>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace travik {

namespace fs = std::filesystem;

namespace {

// Entries are indented by their depth below the root.
constexpr int kIndentPerLevel = 2;

void addEntry(QListWidget& list, const fs::path& folder, const std::string& name, int depth) {
  auto* item = new QListWidgetItem(QString(depth * kIndentPerLevel, QLatin1Char(' ')) + QString::fromStdString(name));
  item->setData(Qt::UserRole, QString::fromStdString(folder.string()));
  list.addItem(item);
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) { setSelectionMode(QAbstractItemView::SingleSelection); }

bool FolderList::openFolder(const std::string& folder) {
  std::error_code error;
  const fs::path open = fs::absolute(fs::path(folder), error).lexically_normal();
  if (error || !fs::is_directory(open, error)) return false;
  // Read the subfolders first: a folder that cannot be listed leaves the list as it was.
  std::vector<std::string> subfolders;
  fs::directory_iterator it(open, error);
  if (error) return false;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) return false;
    const std::string name = it->path().filename().string();
    // Hidden folders are not offered, as on the desktop.
    if (name.empty() || name.front() == '.') continue;
    std::error_code kind;
    if (it->is_directory(kind)) subfolders.push_back(name);
  }
  std::sort(subfolders.begin(), subfolders.end(), [](const std::string& a, const std::string& b) {
    const int order = QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
  });

  // "/a/b/" and "/a/b" are one folder.
  fs::path shown = open;
  if (shown.has_relative_path() && !shown.has_filename()) shown = shown.parent_path();

  clear();
  std::vector<fs::path> chain;
  for (fs::path step = shown;; step = step.parent_path()) {
    chain.push_back(step);
    if (step == step.parent_path() || !step.has_relative_path()) break;
  }
  std::reverse(chain.begin(), chain.end());
  int depth = 0;
  for (const fs::path& step : chain) {
    addEntry(*this, step, step.has_relative_path() ? step.filename().string() : step.string(), depth);
    ++depth;
  }
  const int openRow = count() - 1;
  for (const std::string& name : subfolders) addEntry(*this, shown / name, name, depth);
  path_ = shown.string();
  setCurrentRow(openRow);
  return true;
}

std::string FolderList::entry(int row) const {
  const QListWidgetItem* found = item(row);
  return found ? found->data(Qt::UserRole).toString().toStdString() : std::string();
}

}  // namespace travik

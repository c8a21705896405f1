// The folder list of the folder pickers: the folders from the root down to
// the open folder, then the open folder's own subfolders, one entry each.
// The open folder is the current entry; opening another lists it anew.
#pragma once

#include <QListWidget>
#include <string>

namespace travik {

class FolderList : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderList(QWidget* parent = nullptr);

  // The open folder.
  const std::string& path() const { return path_; }
  // Opens a folder and lists it; false (and the list unchanged) when it is
  // no folder or cannot be read.
  bool openFolder(const std::string& folder);
  // The folder an entry stands for; "" for a row that does not exist.
  std::string entry(int row) const;

 private:
  std::string path_;
};

}  // namespace travik

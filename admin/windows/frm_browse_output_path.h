// frmBrowseOutputPath: the output-folder picker.  It starts from the output
// folder setting; OK puts the chosen folder into frmMain's txtOutputPath and
// applies it at once (frmMain::outputPathChange).
#pragma once

#include "admin/windows/folder_picker.h"

namespace travik {

class FrmBrowseOutputPath : public FolderPicker {
  Q_OBJECT

 public:
  explicit FrmBrowseOutputPath(Console& console);

 protected:
  std::string startingFolder() const override;
  QLineEdit& targetPathBox() const override;
  void applyChosenFolder() override;
};

}  // namespace travik

// frmBrowseMvLogPath: the trace-log folder picker.  It starts from the
// trace-log folder setting; the chosen folder goes into frmMain's
// txtLogLocation and is stored at once (frmMain::logPathChange).
#pragma once

#include "admin/windows/folder_picker.h"

namespace travik {

class FrmBrowseMvLogPath : public FolderPicker {
  Q_OBJECT

 public:
  explicit FrmBrowseMvLogPath(Console& console);

 protected:
  std::string startingFolder() const override;
  QLineEdit& targetPathBox() const override;
  void applyChosenFolder() override;
};

}  // namespace travik

// frmBrowseOutputPath: the output-folder picker: a drive list and a folder tree; the chosen folder goes
// into frmMain's txtOutputPath, then frmMain::outputPathChange runs.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmBrowseOutputPath : public QWidget {
  Q_OBJECT

 public:
  explicit FrmBrowseOutputPath(Console& console);

 private:
  Console& console_;
};

}  // namespace travik

// frmBrowseMvLogPath: the trace-log folder picker: a drive list and a folder tree; the chosen folder goes
// into frmMain's txtLogLocation.
//
// Placeholder: the window exists with its name and caption so that the rest of
// the console can open, hide and test it; its controls and handlers are built
// in this file pair.
#pragma once

#include <QWidget>

namespace travik {

class Console;

class FrmBrowseMvLogPath : public QWidget {
  Q_OBJECT

 public:
  explicit FrmBrowseMvLogPath(Console& console);

 private:
  Console& console_;
};

}  // namespace travik

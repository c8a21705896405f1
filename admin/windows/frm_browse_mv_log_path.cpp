#include "admin/windows/frm_browse_mv_log_path.h"

#include <QLineEdit>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/console/window_opener.h"

namespace travik {

FrmBrowseMvLogPath::FrmBrowseMvLogPath(Console& console)
    : FolderPicker(console, "frmBrowseMvLogPath", "Browse for mervale log folder",
                   "Form_Resize of Form frmBrowseMvLogPath") {}

std::string FrmBrowseMvLogPath::startingFolder() const { return console_.program.settings.logPath; }

QLineEdit& FrmBrowseMvLogPath::targetPathBox() const { return console_.windows.mainWindow().logLocationBox(); }

void FrmBrowseMvLogPath::applyChosenFolder() { console_.windows.mainWindow().logPathChange(); }

}  // namespace travik

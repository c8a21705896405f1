#include "admin/windows/frm_browse_output_path.h"

#include <QLineEdit>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/console/window_opener.h"

namespace travik {

FrmBrowseOutputPath::FrmBrowseOutputPath(Console& console)
    : FolderPicker(console, "frmBrowseOutputPath", "Browse for output folder",
                   "Form_Resize of Form frmBrowseOutputPath") {}

std::string FrmBrowseOutputPath::startingFolder() const { return console_.program.settings.outputPath; }

QLineEdit& FrmBrowseOutputPath::targetPathBox() const { return console_.windows.mainWindow().outputPathBox(); }

void FrmBrowseOutputPath::applyChosenFolder() { console_.windows.mainWindow().outputPathChange(); }

}  // namespace travik

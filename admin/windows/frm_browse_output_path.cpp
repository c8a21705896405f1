#include "admin/windows/frm_browse_output_path.h"

#include <QLineEdit>

#include "admin/console/console.h"
#include "admin/main_window/frm_main.h"

namespace travik {

FrmBrowseOutputPath::FrmBrowseOutputPath(Console& console)
    : FolderPicker(console, "frmBrowseOutputPath", "Browse for output folder",
                   "Form_Resize of Form frmBrowseOutputPath") {}

std::string FrmBrowseOutputPath::startingFolder() const { return console_.program.settings.outputPath; }

QLineEdit& FrmBrowseOutputPath::targetPathBox() const { return *console_.frmMain().txtOutputPath; }

void FrmBrowseOutputPath::applyChosenFolder() { console_.frmMain().outputPathChange(); }

}  // namespace travik

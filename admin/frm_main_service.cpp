// frmMain: installing, removing, starting and stopping the processing service.
#include "admin/console.h"
#include "admin/frm_main.h"

namespace travik {

void FrmMain::cmdInstallService_Click() {}
void FrmMain::cmdUninstallService_Click() {}
void FrmMain::cmdStartService_Click() {}
void FrmMain::cmdStopService_Click() {}

}  // namespace travik

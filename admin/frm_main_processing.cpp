// frmMain: manual processing ("Process Call Data"), the dump of every report
// file ("Dump data to CSV") and the purge of all call activity.
//
// Placeholder bodies: the commands do nothing yet.  Around a manual run the
// console's other parts offer setControlsManualProcessRunning/Stopped
// (control_enabling.h), FrmAutoShutdown::pauseForManualRun/resumeAfterManualRun
// and Console::hideDetailWindows.
#include "admin/console.h"
#include "admin/frm_main.h"

namespace travik {

void FrmMain::cmdLoad_Click() {}
void FrmMain::cmdDumpCsv_Click() {}
void FrmMain::mnuOptionsPurgeEventData_Click() {}

}  // namespace travik

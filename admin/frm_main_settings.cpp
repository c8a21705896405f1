// frmMain: the settings boxes (processing interval, automatic test calls and
// their interval, retention, the trace-log and output folders and their
// Browse buttons), the numeric key filter and the change of output folder.
//
// Placeholder bodies: every key is kept and nothing is stored yet.
#include "admin/console.h"
#include "admin/frm_main.h"

namespace travik {

void FrmMain::cmbInterval_KeyPress(int&) {}
void FrmMain::cmbInterval_LostFocus() {}
void FrmMain::cmbTestInterval_KeyPress(int&) {}
void FrmMain::cmbTestInterval_LostFocus() {}
void FrmMain::cmbRetention_KeyPress(int&) {}
void FrmMain::cmbRetention_LostFocus() {}
void FrmMain::chkTestCalls_Click() {}
void FrmMain::txtLogLocation_Change() {}
void FrmMain::txtLogLocation_KeyPress(int&) {}
void FrmMain::txtOutputPath_LostFocus() {}
void FrmMain::txtOutputPath_KeyPress(int&) {}
void FrmMain::cmdBrowseForLog_Click() {}
void FrmMain::cmdBrowseForOutputLocation_Click() {}
int FrmMain::numericOnlyInput(int keyAscii) { return keyAscii; }
void FrmMain::outputPathChange() {}

}  // namespace travik

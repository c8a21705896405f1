// frmMain: the calls and errors grids, their date filter, the detail and
// totals buttons and saving a grid to a file.
//
// Placeholder bodies: the grids stay empty yet.
#include "admin/console.h"
#include "admin/frm_main.h"

namespace travik {

void FrmMain::showVrndataAll() {}
void FrmMain::filterVrndata() {}
void FrmMain::cmdShowAll_Click() {}
void FrmMain::cmdUpdateGridFilters_Click() {}
void FrmMain::flxCalls_Click() {}
void FrmMain::flxCalls_KeyPress(int&) {}
void FrmMain::flxErrors_Click() {}
void FrmMain::flxErrors_KeyPress(int&) {}
void FrmMain::cmdViewCallDetail_Click() {}
void FrmMain::cmdViewTasks_Click() {}
void FrmMain::cmdViewPerLine_Click() {}
void FrmMain::cmdViewPerOctel_Click() {}
void FrmMain::cmdSaveCallsGrid_Click() {}
void FrmMain::cmdSaveErrorsGrid_Click() {}

}  // namespace travik

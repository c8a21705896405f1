// frmMain: manual processing ("Process Call Data"), the dump of every report
// file ("Dump data to CSV") and the purge of all call activity.
//
// A manual run hides the detail and totals windows, locks the controls that
// could start other work, pauses the idle shutdown, runs one processing cycle
// and then restores all of it, whether the cycle ran or was refused.  The
// purge never deletes stored trace events whose export was asked for and failed.
#include <QGroupBox>
#include <string>
#include <vector>

#include "admin/console/console.h"
#include "admin/console/window_opener.h"
#include "admin/main_window/control_enabling.h"
#include "admin/main_window/frm_main.h"
#include "admin/models/call_activity_purge.h"
#include "admin/models/painted_work.h"
#include "processing/reports/call_reports.h"
#include "processing/reports/event_export.h"
#include "processing/reports/reports.h"
#include "processing/run/process_logs.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/read_only_mode.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr const char* kPurgeQuestion =
    "This will delete all call activity data in the database.  Data for the next processing cycle will be limited "
    "to existing mervale log data.\n\nAre you sure you want to purge this data?";
constexpr const char* kExportQuestion =
    "Do you want to export the analog call trace info from the database to make it available for future TRAVIK "
    "processing?";

}  // namespace

void FrmMain::cmdLoad_Click() {
  constexpr const char* kProcedure = "cmdLoad_Click() of Form frmMain";
  constexpr ErrorHandler kHandler = ErrorHandler::LogAndCount;
  Program& p = program();
  if (refuseWhileDatabaseReadOnly(p)) return;
  bool go = false;
  trap(kProcedure, kHandler, [&] { go = validateLogPath(p) && validateOutputPath(p); });
  if (!go) return;

  trap(kProcedure, kHandler, [&] { console_.windows.hideDetailWindows(); });
  trap(kProcedure, kHandler, [&] { setControlsManualProcessRunning(*this); });
  // An idle shutdown in the middle of a run would end the program half-way.
  trap(kProcedure, kHandler, [&] { console_.windows.pauseForManualRun(); });
  trap(kProcedure, kHandler, [&] {
    PaintedWork painted(p.db);
    processLogs(p);
  });
  trap(kProcedure, kHandler, [&] { setControlsManualProcessStopped(*this); });
  trap(kProcedure, kHandler, [&] { showVrndataAll(); });
  trap(kProcedure, kHandler, [&] { console_.windows.resumeAfterManualRun(); });
  // A purge hid the grids until the next run.
  trap(kProcedure, kHandler, [&] { frmSelection->setVisible(true); });
}

void FrmMain::cmdDumpCsv_Click() {
  constexpr const char* kProcedure = "cmdDumpCsv_Click() of Form frmMain";
  constexpr ErrorHandler kHandler = ErrorHandler::LogAndCount;
  Program& p = program();
  bool go = false;
  trap(kProcedure, kHandler, [&] { go = validateOutputPath(p); });
  if (!go) return;

  trap(kProcedure, kHandler, [&] {
    writeLog(p, "CSV data file generation requested.", true);
    p.host.setMousePointer(kPointerHourglass);
  });
  std::vector<std::string> unwritten;
  {
    PaintedWork painted(p.db);
    // Each writer reports its own failure; the others still run.
    const auto write = [&](const char* file, auto&& writer) {
      bool written = false;
      trap(kProcedure, kHandler, [&] { written = writer(); });
      if (!written) unwritten.emplace_back(file);
    };
    write("TRAVIK-REPORT.AllCalls", [&] { return reportAllCallsErrors(p); });
    write("TRAVIK-REPORT.Tasks", [&] { return reportTasks(p, kTasksSelection); });
    write("TRAVIK-REPORT.Recipients", [&] { return reportRecipients(p, kRecipientsSelection); });
    write("TRAVIK-REPORT.Events", [&] { return reportEvents(p, kEventsSelection); });
    write("TRAVIK-REPORT.LineSummary", [&] { return reportLineSummary(p, kLineSummarySelection); });
    write("TRAVIK-REPORT.OctelSummary", [&] { return reportOctelSummary(p, kOctelSummarySelection); });
    write("TRAVIK-REPORT.RejectedRecipients",
          [&] { return reportRejectedRecipients(p, kRejectedRecipientsSelection); });
    write("MVLOG.TRAVIK", [&] { return reportMVEvents(p, kExportSelection); });
  }
  trap(kProcedure, kHandler, [&] {
    p.host.setMousePointer(kPointerDefault);
    if (unwritten.empty()) {
      p.host.messageBox("CSV file creation complete.", kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
      writeLog(p, "CSV data file generation complete.", true);
      return;
    }
    // One name a line in the box: a wrapped list would break the names at their hyphens.
    std::string files;
    std::string listed;
    for (const std::string& file : unwritten) {
      files += (files.empty() ? "" : ", ") + file;
      listed += "\n" + file;
    }
    const std::string where = " could not be written to the " + p.settings.outputPath + " folder.";
    p.host.messageBox("CSV file creation failed.  These report files" + where + "\n" + listed, kApplicationTitle,
                      MessageButtons::Ok, MessageIcon::Exclamation);
    writeLog(p, "(error): CSV data file generation failed: " + files + where, true);
  });
}

void FrmMain::mnuOptionsPurgeEventData_Click() {
  constexpr const char* kProcedure = "mnuOptionsPurgeEventData()";
  constexpr ErrorHandler kHandler = ErrorHandler::BoxAndCount;
  Program& p = program();
  Host& host = p.host;
  if (refuseWhileDatabaseReadOnly(p)) return;
  if (host.messageBox(kPurgeQuestion, kApplicationTitle, MessageButtons::OkCancel, MessageIcon::Exclamation) !=
      MessageResult::Ok)
    return;

  if (host.messageBox(kExportQuestion, kApplicationTitle, MessageButtons::YesNo, MessageIcon::Question) ==
      MessageResult::Yes) {
    bool exported = false;
    trap(kProcedure, kHandler, [&] {
      host.setMousePointer(kPointerHourglass);
      PaintedWork painted(p.db);
      exported = reportMVEvents(p, kExportSelection);
    });
    host.setMousePointer(kPointerDefault);
    if (!exported) {
      // The operator asked to keep the trace events: without their copy they stay.
      host.messageBox("Analog call trace info could not be written to the " + p.settings.outputPath +
                          " folder.  No call activity data has been deleted.",
                      kApplicationTitle, MessageButtons::Ok, MessageIcon::Exclamation);
      return;
    }
    host.messageBox(
        "Analog call trace info has been written to the most recent MVLOG.TRAVIK.<date>.<time>.log file "
        "in the " +
            p.settings.outputPath + " folder.  Be sure to save a copy of this file to another folder.",
        kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
  }

  trap(kProcedure, kHandler, [&] {
    host.setMousePointer(kPointerHourglass);
    console_.windows.hideDetailWindows();
    frmSelection->setVisible(false);
  });
  const bool purged = trap(kProcedure, kHandler, [&] {
    PaintedWork painted(p.db);
    purgeCallActivity(p.db);
  });
  host.setMousePointer(kPointerDefault);
  // A failed purge has shown its error; it deleted nothing and claims nothing.
  if (purged)
    host.messageBox("Call activity successfully deleted", kApplicationTitle, MessageButtons::Ok,
                    MessageIcon::Information);
}

}  // namespace travik

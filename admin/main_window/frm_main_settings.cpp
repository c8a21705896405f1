// frmMain: the settings boxes (processing interval, automatic test calls and
// their interval, retention, the trace-log and output folders and their
// Browse buttons), the numeric key filter and the change of output folder.
//
// Every change is stored at once through setApplicationParameter, which also
// reloads the settings, so the service sees it at its next due tick.  The
// boxes show minutes and hours; the parameters hold seconds and minutes.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "admin/console/console.h"
#include "admin/console/window_opener.h"
#include "admin/main_window/frm_main.h"
#include "admin/widgets/settings_input.h"
#include "processing/reports/event_export.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

// The interval limits as the parameters hold them; the boxes show them divided by 60.
constexpr int kMinimumProcessIntervalSeconds = 900;
constexpr int kMaximumProcessIntervalSeconds = 86400;
constexpr int kMinimumTestCallIntervalMinutes = 60;
constexpr int kMaximumTestCallIntervalMinutes = 20160;
constexpr int kMaximumRetentionHours = 336;
constexpr int kMaximumExtendedRetentionHours = 43800;

// Character code of Ctrl+Q, the key that opens the long retention range.
constexpr int kCtrlQ = 17;

// A number of the settings as the boxes show it: whole, or with its decimals.
QString decimalText(double value) { return QString::number(value, 'g', 15); }

std::string textOf(const QComboBox* box) { return box->currentText().toStdString(); }

// The box's text as a number in shown units, times 60, rounded half to even.
std::string timesSixty(const std::string& text) {
  const double shown = std::strtod(text.c_str(), nullptr);
  return std::to_string(static_cast<long long>(std::nearbyint(shown * 60.0)));
}

// An interval box left: an empty box shows the setting again; a value
// within the limits is stored in the parameter's units.  The setting and the
// limits are in the parameter's units, the box in sixty times larger ones.
void storeInterval(FrmMain& w, QComboBox& box, int parameterIndex, std::int32_t setting, int minimum, int maximum) {
  if (box.currentText().isEmpty()) box.setEditText(decimalText(setting / 60.0));
  const std::string text = textOf(&box);
  if (!acceptInRange(w.program(), box, text, minimum / 60, maximum / 60)) return;
  w.storeSetting(parameterIndex, timesSixty(text));
}

void storeRetentionHours(FrmMain& w) {
  w.storeSetting(parameter::kDataRetentionInHours, textOf(w.cmbRetention));
  w.extendedRetention = false;
}

void showText(QLineEdit& box, const std::string& text) {
  if (box.text().toStdString() != text) box.setText(QString::fromStdString(text));
}

// A lower retention loses data at the next run, so the operator confirms it
// and may first export the stored trace lines for a later run to read back.
void confirmRetentionDecrease(FrmMain& w) {
  Program& p = w.program();
  const std::string typed = textOf(w.cmbRetention);
  const std::int32_t requested = toWholeNumber(typed).value_or(0);
  const std::int32_t current = p.settings.dataRetentionHours;
  // Nothing is asked or exported for a change that would be refused.
  if (requested >= current || p.databaseReadOnly) {
    storeRetentionHours(w);
    return;
  }
  const std::string question =
      "You have chosen to decrease the hours of data to retain in the database from " + std::to_string(current) +
      " to " + typed + ".  If you choose to continue, data older than " + typed +
      " hours will be purged from the TRAVIK database before the next processing cycle.\r\n\r\nDo you want to "
      "continue?";
  if (p.host.messageBox(question, kApplicationTitle, MessageButtons::OkCancel, MessageIcon::Exclamation) !=
      MessageResult::Ok) {
    w.cmbRetention->setEditText(QString::number(current));
    return;
  }
  if (p.host.messageBox("Do you want to export the analog call trace info from the database to make it available "
                        "for future TRAVIK processing?",
                        kApplicationTitle, MessageButtons::YesNo, MessageIcon::Question) == MessageResult::Yes) {
    p.host.setMousePointer(kPointerHourglass);
    const bool exported = reportMVEvents(p, kExportSelection);
    p.host.setMousePointer(kPointerDefault);
    // The export reported its own failure; the data it could not save must
    // not be purged, so the retention stays as it was.
    if (!exported) {
      w.cmbRetention->setEditText(QString::number(current));
      return;
    }
    p.host.messageBox(
        "Analog call trace info has been written to the most recent MVLOG.TRAVIK.<date>.<time>.log "
        "file in the " +
            p.settings.outputPath + " folder.  Be sure to move this file to another folder.",
        kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
  }
  storeRetentionHours(w);
}

}  // namespace

int FrmMain::numericOnlyInput(int keyAscii) {
  int kept = keyAscii;
  trap("numericOnlyInput()", ErrorHandler::Standard, [&] {
    if (isNumericKey(keyAscii)) return;
    program().host.messageBox("Enter numeric values only.", kApplicationTitle, MessageButtons::Ok,
                              MessageIcon::Exclamation);
    kept = 0;
  });
  return kept;
}

int FrmMain::numericBoxInput(const QComboBox& box, int keyAscii) {
  const int kept = numericOnlyInput(keyAscii);
  return reachedInputLimit(box.currentText()) ? 0 : kept;
}

// ---- The two interval boxes ----

void FrmMain::cmbInterval_KeyPress(int& keyAscii) { keyAscii = numericBoxInput(*cmbInterval, keyAscii); }

void FrmMain::cmbTestInterval_KeyPress(int& keyAscii) { keyAscii = numericBoxInput(*cmbTestInterval, keyAscii); }

// A value that was not stored (refused, or its store failed) leaves the
// boxes showing what is in force, not what was typed.
void FrmMain::storeSetting(int parameterIndex, const std::string& value) {
  Program& p = program();
  if (setApplicationParameter(p, parameterIndex, value)) return;
  const Settings& stored = p.settings;
  showText(*txtLogLocation, stored.logPath);
  showText(*txtOutputPath, stored.outputPath);
  cmbInterval->setEditText(decimalText(stored.processIntervalSeconds / 60.0));
  cmbTestInterval->setEditText(decimalText(stored.testCallIntervalMinutes / 60.0));
  cmbRetention->setEditText(QString::number(stored.dataRetentionHours));
  // Shown, not changed again: a second store would fail with a second box.
  const QSignalBlocker quiet(chkTestCalls);
  chkTestCalls->setChecked(stored.autoTest);
}

void FrmMain::cmbInterval_LostFocus() {
  storeInterval(*this, *cmbInterval, parameter::kProcessIntervalInSeconds, program().settings.processIntervalSeconds,
                kMinimumProcessIntervalSeconds, kMaximumProcessIntervalSeconds);
}

void FrmMain::cmbTestInterval_LostFocus() {
  storeInterval(*this, *cmbTestInterval, parameter::kTestCallIntervalInMinutes,
                program().settings.testCallIntervalMinutes, kMinimumTestCallIntervalMinutes,
                kMaximumTestCallIntervalMinutes);
}

// ---- Retention ----

void FrmMain::cmbRetention_KeyPress(int& keyAscii) {
  if (keyAscii == kCtrlQ) {
    extendedRetention = true;
    keyAscii = 0;
    return;
  }
  extendedRetention = false;
  keyAscii = numericBoxInput(*cmbRetention, keyAscii);
}

void FrmMain::cmbRetention_LostFocus() {
  Program& p = program();
  if (cmbRetention->currentText().isEmpty()) cmbRetention->setEditText(QString::number(p.settings.dataRetentionHours));
  const int upper = extendedRetention ? kMaximumExtendedRetentionHours : kMaximumRetentionHours;
  if (!acceptInRange(p, *cmbRetention, textOf(cmbRetention), 1, upper)) return;
  confirmRetentionDecrease(*this);
}

// ---- Automatic test calls ----

void FrmMain::chkTestCalls_Click() {
  const Qt::CheckState state = chkTestCalls->checkState();
  if (state == Qt::Checked)
    storeSetting(parameter::kAutoTest, "True");
  else if (state == Qt::Unchecked)
    storeSetting(parameter::kAutoTest, "False");
}

// ---- The two folders ----

// The trace folder is stored as typed, once the typing ends (the box left,
// Enter, a folder chosen): a store per key would wait out a held database
// and report it per key.  It is tested only when a run, the service start
// or its installation needs it.
void FrmMain::txtLogLocation_Change() { logLocationEdited = true; }

void FrmMain::txtLogLocation_LostFocus() {
  if (logLocationEdited) logPathChange();
}

void FrmMain::logPathChange() {
  logLocationEdited = false;
  storeSetting(parameter::kDefaultMvLogPath, txtLogLocation->text().toStdString());
}

// Enter leaves the box for its Browse button; leaving stores the folder.
void FrmMain::txtLogLocation_KeyPress(int& keyAscii) {
  if (keyAscii == 13) cmdBrowseForLog->setFocus(Qt::TabFocusReason);
}

void FrmMain::txtOutputPath_LostFocus() { outputPathChange(); }

// Enter leaves the box for its Browse button; leaving applies the folder.
void FrmMain::txtOutputPath_KeyPress(int& keyAscii) {
  if (keyAscii == 13) cmdBrowseForOutputLocation->setFocus(Qt::TabFocusReason);
}

// A change of output folder always starts a new activity log: in the new
// folder when it exists, else back in the old one.
void FrmMain::outputPathChange() {
  Program& p = program();
  const std::string wanted = txtOutputPath->text().toStdString();
  if (wanted == p.settings.outputPath) return;
  // Refused, before the activity log is touched.
  if (p.databaseReadOnly) {
    storeSetting(parameter::kDefaultOutputPath, wanted);
    return;
  }
  closeActivityLog(p);
  const std::string previous = p.settings.outputPath;
  setApplicationParameter(p, parameter::kDefaultOutputPath, wanted);
  std::string logFile;
  if (validateOutputPath(p)) {
    logFile = GenerateNewLogFileName(p);
  } else {
    txtOutputPath->setText(QString::fromStdString(previous));
    setApplicationParameter(p, parameter::kDefaultOutputPath, previous);
    logFile = GenerateNewLogFileName(p);
  }
  // An empty box stands for the default folder the settings chose; show it,
  // so the box names the folder in force.
  if (txtOutputPath->text().toStdString() != p.settings.outputPath)
    txtOutputPath->setText(QString::fromStdString(p.settings.outputPath));
  openActivityLog(p, logFile);
}

void FrmMain::cmdBrowseForLog_Click() { console().windows.openBrowseMvLogPath(); }

void FrmMain::cmdBrowseForOutputLocation_Click() { console().windows.openBrowseOutputPath(); }

}  // namespace travik

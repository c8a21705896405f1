// The main window as it stands: its controls and menus, loading, resizing,
// the exits and the help page.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

using test::ConsoleFixture;

TEST_F(ConsoleFixture, EveryControlOfTheMainWindowCarriesItsNameAndCaption) {
  FrmMain& w = frmMain();
  EXPECT_EQ(w.windowTitle().toStdString(), kProductFullName);
  const std::map<std::string, std::string> buttons = {{"cmdExit", "E&xit"},
                                                      {"cmdUpdateGridFilters", "Appl&y"},
                                                      {"cmdShowAll", "Sho&w All"},
                                                      {"cmdInstallService", "&Install Service"},
                                                      {"cmdUninstallService", "&Uninstall Service"},
                                                      {"cmdStartService", "&Start Service"},
                                                      {"cmdStopService", "Stop Servi&ce"},
                                                      {"cmdSaveCallsGrid", "Save to file"},
                                                      {"cmdSaveErrorsGrid", "Save to file"},
                                                      {"cmdViewCallDetail", "View Call Detail fo&r selected call"},
                                                      {"cmdViewTasks", "View Tas&ks for selected call"},
                                                      {"cmdViewPerLine", "View Line &totals"},
                                                      {"cmdViewPerOctel", "View &Node totals"},
                                                      {"cmdBrowseForLog", "&Browse"},
                                                      {"cmdBrowseForOutputLocation", "Brows&e"},
                                                      {"cmdLoad", "Process Call Dat&a"},
                                                      {"cmdDumpCsv", "Dump data to CS&V"}};
  for (const auto& [name, caption] : buttons) {
    auto* b = control<QPushButton>(w, name.c_str());
    if (b) {
      EXPECT_EQ(b->text().toStdString(), caption) << name;
    }
  }
  const std::map<std::string, std::string> frames = {{"frmDataRange", "Filter Call and Error grids"},
                                                     {"frmService", "Service"},
                                                     {"frmGeneral", "Database retention"},
                                                     {"frmSelection", "Selection"},
                                                     {"frmFileLocations", "File Locations"},
                                                     {"frmProcess", "Process"}};
  for (const auto& [name, caption] : frames) {
    auto* f = control<QGroupBox>(w, name.c_str());
    if (f) {
      EXPECT_EQ(f->title().toStdString(), caption) << name;
    }
  }
  for (const char* name :
       {"lblRange1", "lblRange2", "lblInterval1", "lblInterval2", "lblTestInterval1", "lblTestInterval2",
        "lblRetention1", "lblCalls", "lblErrors", "lblLogLocation", "lblOutputPath"})
    control<QLabel>(w, name);
  for (const char* name : {"txtLogLocation", "txtOutputPath", "txtProgress"}) control<QLineEdit>(w, name);
  for (const char* name : {"dtpStartRange", "dtpEndRange"}) control<QDateTimeEdit>(w, name);
  for (const char* name : {"flxCalls", "flxErrors"}) control<QTableView>(w, name);
  control<QCheckBox>(w, "chkTestCalls");
  control<QProgressBar>(w, "ProgressBar");

  auto presets = [&](const char* name) {
    std::vector<std::string> items;
    if (auto* box = control<QComboBox>(w, name))
      for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
    return items;
  };
  EXPECT_EQ(presets("cmbInterval"),
            (std::vector<std::string>{"15", "30", "45", "60", "90", "120", "180", "360", "720", "1440"}));
  const std::vector<std::string> hours = {"1", "2", "3", "4", "6", "8", "12", "24", "48", "72", "96", "120"};
  EXPECT_EQ(presets("cmbTestInterval"), hours);
  EXPECT_EQ(presets("cmbRetention"), hours);

  const std::map<std::string, std::string> menus = {
      {"mnuFile", "&File"}, {"mnuOptions", "O&ptions"}, {"mnuHelp", "&Help"}};
  for (const auto& [name, caption] : menus) {
    auto* m = control<QMenu>(w, name.c_str());
    if (m) {
      EXPECT_EQ(m->title().toStdString(), caption);
    }
  }
  const std::map<std::string, std::string> items = {{"mnuFileExit", "Exit"},
                                                    {"mnuOptionsEventViewer", "Event Viewer Notification"},
                                                    {"mnuOptionsTestCalls", "Test Calls"},
                                                    {"mnuOptionsResetErrorCounts", "Reset communication error counts"},
                                                    {"mnuOptionsPurgeEventData", "Purge Event Data"},
                                                    {"mnuHelpViewHelp", "&View Help"},
                                                    {"mnuHelpCheckForUpdatedVersion", "&Check for updated version"},
                                                    {"mnuHelpAbout", "&About"}};
  for (const auto& [name, caption] : items) {
    auto* a = control<QAction>(w, name.c_str());
    if (a) {
      EXPECT_EQ(a->text().toStdString(), caption);
    }
  }
}

}  // namespace
}  // namespace travik

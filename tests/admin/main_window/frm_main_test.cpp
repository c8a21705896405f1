// The main window as it stands: its controls and menus, loading, resizing,
// the exits and the help page.
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTextBrowser>

#include "admin/widgets/window_geometry.h"
#include "admin/windows/frm_event_viewer.h"
#include "admin/windows/frm_help.h"
#include "admin/windows/frm_reset_error_counts.h"
#include "admin/windows/frm_test_calls.h"
#include "processing/runtime/application_parameters.h"
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

class MainWindowTest : public ConsoleFixture {
 protected:
  MainWindowTest() { connect(); }
  void store(const char* property, const std::string& value) {
    auto update = program().db.prepare("update applicationparameters set value = ?1 where property = ?2");
    update.bind(1, value).bind(2, property).run();
    getApplicationParameter(program());
  }
};

TEST_F(MainWindowTest, LoadingShowsTheSettingsInTheOperatorsUnits) {
  store("PROCESSINTERVALINSECONDS", "90");
  store("TESTCALLINTERVALINMINUTES", "20160");
  store("DATARETENTIONINHOURS", "120");
  store("AUTOTEST", "True");
  FrmMain& w = frmMain();
  w.formLoad();
  EXPECT_EQ(w.cmbInterval->currentText().toStdString(), "1.5");
  EXPECT_EQ(w.cmbTestInterval->currentText().toStdString(), "336");
  EXPECT_EQ(w.cmbRetention->currentText().toStdString(), "120");
  EXPECT_TRUE(w.chkTestCalls->isChecked());
  EXPECT_EQ(w.txtLogLocation->text().toStdString(), test.traceFolder().string());
  EXPECT_EQ(w.txtOutputPath->text().toStdString(), test.outputFolder().string());
  // Both ranges start one day before now and end now.
  EXPECT_EQ(w.shownRangeStart, clock.addHours(-24));
  EXPECT_EQ(w.errorsRangeStart, clock.addHours(-24));
  EXPECT_EQ(w.shownRangeEnd, clock);
  EXPECT_EQ(w.errorsRangeEnd, clock);
  EXPECT_EQ(w.dtpStartRange->dateTime(), QDateTime(QDate(2024, 3, 4), QTime(10, 0, 0)));
  EXPECT_EQ(w.dtpEndRange->dateTime(), QDateTime(QDate(2024, 3, 5), QTime(10, 0, 0)));
  EXPECT_EQ(w.dtpStartRange->displayFormat().toStdString(), "MM/dd/yyyy hh:mm:ss AP");
}

TEST_F(MainWindowTest, AFolderThatNoLongerExistsLeavesItsBoxEmpty) {
  store("DEFAULTMVLOGPATH", (test.folder() / "gone").string());
  store("DEFAULTOUTPUTPATH", (test.folder() / "gone too").string());
  store("AUTOTEST", "False");
  frmMain().formLoad();
  EXPECT_TRUE(frmMain().txtLogLocation->text().isEmpty());
  EXPECT_TRUE(frmMain().txtOutputPath->text().isEmpty());
  EXPECT_FALSE(frmMain().chkTestCalls->isChecked());
}

TEST_F(MainWindowTest, AWindowMadeTooSmallSnapsBackAndTheGridsShareTheSelectionFrame) {
  FrmMain& w = frmMain();
  w.show();
  const TwipScale s = twipScale(w);
  w.resize(400, 300);
  QCoreApplication::processEvents();
  EXPECT_GE(w.width(), s.xAtLeast(kMinimumWindowWidthTwips));
  EXPECT_GE(w.height(), s.yAtLeast(kMinimumWindowHeightTwips));

  w.resize(1200, 900);
  QCoreApplication::processEvents();
  const int heightTwips = s.twipsY(w.height());
  EXPECT_EQ(w.frmSelection->height(), s.y(heightTwips - 4020));
  EXPECT_EQ(w.frmSelection->width(), s.x(s.twipsX(w.width()) - 100));
  const int gridTwips = (heightTwips - 4020 - 1400) / 2;
  EXPECT_EQ(w.flxCalls->height(), s.y(gridTwips));
  EXPECT_EQ(w.flxErrors->height(), s.y(gridTwips));
  EXPECT_EQ(w.lblErrors->y(), s.y(gridTwips + 780));
  EXPECT_EQ(w.cmdSaveErrorsGrid->y(), s.y(gridTwips + 780));
  // The calls grid keeps its place; the errors grid sits below its label.
  EXPECT_EQ(w.flxCalls->y(), s.y(480));
  EXPECT_GT(w.flxErrors->y(), w.lblErrors->y());
  EXPECT_GE(w.flxErrors->y() + w.flxErrors->height(), w.flxCalls->y() + w.flxCalls->height());
  EXPECT_LE(w.flxErrors->y() + w.flxErrors->height(), w.frmSelection->height());
  EXPECT_EQ(program().handledErrorCount, 0);
}

// The window's close event handler, reached without sending the event through
// Qt: the test's exit throws, and unwinding through Qt's own frames leaks.
struct CloseBox : FrmMain {
  using FrmMain::closeEvent;
};

TEST_F(MainWindowTest, TheCloseBoxTheExitButtonAndTheFileMenuEndTheProgramInOrder) {
  test.openLog();
  setApplicationParameter(program(), parameter::kAdminRunning, "True");
  QCloseEvent close;
  FrmMain& w = frmMain();
  EXPECT_THROW((w.*&CloseBox::closeEvent)(&close), ProgramEnded);
  EXPECT_FALSE(program().db.isOpen());
  EXPECT_TRUE(program().shuttingDown);
  // The exit runs once; the other paths end the process all the same.
  EXPECT_THROW(w.cmdExit_Click(), ProgramEnded);
  EXPECT_THROW(w.mnuFileExit_Click(), ProgramEnded);
  db::Connection db;
  db.open(program().databasePath().string());
  auto query = db.prepare("select value from applicationparameters where property = 'ADMINRUNNING'");
  ASSERT_TRUE(query.step());
  EXPECT_EQ(query.getText(0), "False");
}

TEST_F(MainWindowTest, ViewHelpOpensThePageBesideTheProgramsInAWindowOfItsOwn) {
  test::writeFile(test.folder() / "TRAVIK.htm", "<html><body><h2>Console help</h2></body></html>");
  frmMain().mnuHelpViewHelp->trigger();
  FrmHelp& help = console->frmHelp();
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.width(), 420);
  EXPECT_EQ(help.height(), 360);
  EXPECT_EQ(help.brwHelp->source().toLocalFile().toStdString(), (test.folder() / "TRAVIK.htm").string());
  EXPECT_NE(help.brwHelp->toPlainText().toStdString().find("Console help"), std::string::npos);
}

TEST_F(MainWindowTest, ViewHelpWithoutThePageSaysSoInTheWindow) {
  frmMain().mnuHelpViewHelp->trigger();
  EXPECT_NE(console->frmHelp().brwHelp->toPlainText().toStdString().find("could not be found"), std::string::npos);
}

TEST_F(MainWindowTest, TheDeliveredHelpPageDescribesTheConsole) {
  const std::string page = test::readFile(std::filesystem::path(TRAVIK_SOURCE_DIR) / "data" / "files" / "TRAVIK.htm");
  for (const char* topic : {"File Locations", "Service", "Database retention", "Process Call Data", "Purge"})
    EXPECT_NE(page.find(topic), std::string::npos) << topic;
}

TEST_F(MainWindowTest, TheMenusOpenTheirWindowsTheAboutBoxModal) {
  frmMain().mnuOptionsTestCalls->trigger();
  EXPECT_TRUE(console->frmTestCalls().isVisible());
  frmMain().mnuOptionsEventViewer->trigger();
  EXPECT_TRUE(console->frmEventViewer().isVisible());
  frmMain().mnuOptionsResetErrorCounts->trigger();
  EXPECT_TRUE(console->frmResetErrorCounts().isVisible());
  frmMain().mnuHelpAbout->trigger();
  EXPECT_EQ(modalWindows, std::vector<std::string>{"frmAbout"});
}

}  // namespace
}  // namespace travik

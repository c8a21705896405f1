// The two folder pickers: where they start, how the folder list moves, what
// OK and the close box hand to the main window, and the frames they lock.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "admin/widgets/folder_list.h"
#include "admin/windows/frm_browse_mv_log_path.h"
#include "admin/windows/frm_browse_output_path.h"
#include "processing/runtime/application_parameters.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

class FolderPickerTest : public test::ConsoleFixture {
 protected:
  FolderPickerTest() {
    connect();
    test.openLog();
    frmMain().formLoad();
  }

  FrmBrowseOutputPath& outputPicker() { return console->frmBrowseOutputPath(); }
  FrmBrowseMvLogPath& logPicker() { return console->frmBrowseMvLogPath(); }
  std::vector<std::string> entries(const FolderList& list) {
    std::vector<std::string> all;
    for (int row = 0; row < list.count(); ++row) all.push_back(list.entry(row));
    return all;
  }
  int rowOf(const FolderList& list, const fs::path& folder) {
    for (int row = 0; row < list.count(); ++row)
      if (list.entry(row) == folder.string()) return row;
    return -1;
  }
  bool framesEnabled() {
    FrmMain& w = frmMain();
    return w.frmService->isEnabled() && w.frmProcess->isEnabled() && w.frmGeneral->isEnabled() &&
           w.frmSelection->isEnabled() && w.frmDataRange->isEnabled();
  }
  bool framesDisabled() {
    FrmMain& w = frmMain();
    return !w.frmService->isEnabled() && !w.frmProcess->isEnabled() && !w.frmGeneral->isEnabled() &&
           !w.frmSelection->isEnabled() && !w.frmDataRange->isEnabled();
  }
};

TEST_F(FolderPickerTest, TheFolderListShowsThePathDownToTheFolderAndItsVisibleSubfolders) {
  const fs::path root = test.outputFolder();
  for (const char* name : {"beta", "Alpha", ".hidden"}) fs::create_directories(root / name);
  test::writeFile(root / "not-a-folder.txt", "x");
  FolderList list;
  ASSERT_TRUE(list.openFolder(root.string() + "/"));
  EXPECT_EQ(list.path(), root.string());
  std::vector<std::string> expected;
  for (fs::path step = root;; step = step.parent_path()) {
    expected.insert(expected.begin(), step.string());
    if (step == step.parent_path()) break;
  }
  expected.push_back((root / "Alpha").string());
  expected.push_back((root / "beta").string());
  expected.push_back((root / "logs").string());
  EXPECT_EQ(entries(list), expected);
  EXPECT_EQ(list.entry(list.currentRow()), root.string());

  // Neither a missing folder nor a file moves the list.
  EXPECT_FALSE(list.openFolder((root / "missing").string()));
  EXPECT_FALSE(list.openFolder((root / "not-a-folder.txt").string()));
  EXPECT_EQ(list.path(), root.string());
  EXPECT_EQ(entries(list), expected);
}

TEST_F(FolderPickerTest, OpeningStartsFromTheSettingAndLocksTheMainWindowsFrames) {
  frmMain().cmdBrowseForOutputLocation->click();
  FrmBrowseOutputPath& picker = outputPicker();
  EXPECT_TRUE(picker.isVisible());
  EXPECT_EQ(picker.windowTitle().toStdString(), "Browse for output folder");
  EXPECT_EQ(picker.dirBrowse->path(), test.outputFolder().string());
  EXPECT_EQ(picker.cmdBrowseOK->text().toStdString(), "&OK");
  EXPECT_FALSE(picker.drvBrowse->currentText().isEmpty());
  EXPECT_TRUE(framesDisabled());
  // The other Browse brings the open picker to the front; Escape closes it,
  // the path box as it was, and only then are the frames enabled.
  frmMain().cmdBrowseForLog->click();
  EXPECT_FALSE(logPicker().isLoaded());
  ASSERT_TRUE(picker.dirBrowse->openFolder(test.folder().string()));
  QApplication::setActiveWindow(&picker);
  QTest::keyClick(&picker, Qt::Key_Escape);
  EXPECT_EQ(frmMain().txtOutputPath->text().toStdString(), test.outputFolder().string());
  EXPECT_TRUE(framesEnabled());

  // A starting folder that no longer exists gives the program folder.
  setApplicationParameter(program(), parameter::kDefaultMvLogPath, (test.folder() / "gone").string());
  frmMain().cmdBrowseForLog->click();
  EXPECT_EQ(logPicker().windowTitle().toStdString(), "Browse for mervale log folder");
  EXPECT_EQ(logPicker().dirBrowse->path(), test.folder().string());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FolderPickerTest, EnterAndAMousePressOpenTheHighlightedFolder) {
  const fs::path sub = test.outputFolder() / "daily";
  fs::create_directories(sub / "march");
  frmMain().cmdBrowseForOutputLocation->click();
  FolderList& list = *outputPicker().dirBrowse;
  list.setCurrentRow(rowOf(list, sub));
  QTest::keyClick(&list, Qt::Key_Return);
  EXPECT_EQ(list.path(), sub.string());

  const int march = rowOf(list, sub / "march");
  ASSERT_GE(march, 0);
  QTest::mousePress(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(march)).center());
  EXPECT_EQ(list.path(), (sub / "march").string());
  // Other keys keep their usual effect: the highlight moves, nothing opens.
  list.setCurrentRow(0);
  QTest::keyClick(&list, Qt::Key_Down);
  EXPECT_EQ(list.currentRow(), 1);
  EXPECT_EQ(list.path(), (sub / "march").string());
}

TEST_F(FolderPickerTest, ADriveThatCannotBeReadLeavesTheFolderListAndSaysNothing) {
  frmMain().cmdBrowseForOutputLocation->click();
  FrmBrowseOutputPath& picker = outputPicker();
  picker.drvBrowse->addItem(QString::fromStdString((test.folder() / "no-medium").string()));
  picker.drvBrowse->setCurrentIndex(picker.drvBrowse->count() - 1);
  EXPECT_EQ(picker.dirBrowse->path(), test.outputFolder().string());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(program().handledErrorCount, 0);

  // A readable drive moves the list to its root.
  picker.drvBrowse->addItem(QString::fromStdString(test.folder().string()));
  picker.drvBrowse->setCurrentIndex(picker.drvBrowse->count() - 1);
  EXPECT_EQ(picker.dirBrowse->path(), test.folder().string());
}

TEST_F(FolderPickerTest, OkInTheOutputPickerAppliesTheFolderAtOnce) {
  const fs::path reports = test.folder() / "reports";
  fs::create_directories(reports);
  clock = clock.addMinutes(1);
  frmMain().cmdBrowseForOutputLocation->click();
  FrmBrowseOutputPath& picker = outputPicker();
  ASSERT_TRUE(picker.dirBrowse->openFolder(reports.string()));
  picker.cmdBrowseOK->click();
  EXPECT_EQ(frmMain().txtOutputPath->text().toStdString(), reports.string());
  EXPECT_EQ(program().settings.outputPath, reports.string());
  EXPECT_EQ(fs::path(program().activityLog.fileName).parent_path(), reports / "logs");
  EXPECT_FALSE(picker.isVisible());
  EXPECT_TRUE(picker.isLoaded());
  EXPECT_TRUE(framesEnabled());
}

TEST_F(FolderPickerTest, TheCloseBoxHandsBackItsFolderAsOkDoesAndUnloadsThePicker) {
  const fs::path reports = test.folder() / "reports";
  fs::create_directories(reports);
  const std::string firstLog = program().activityLog.fileName;
  frmMain().cmdBrowseForOutputLocation->click();
  FrmBrowseOutputPath& picker = outputPicker();
  ASSERT_TRUE(picker.dirBrowse->openFolder(reports.string()));
  picker.close();
  EXPECT_EQ(frmMain().txtOutputPath->text().toStdString(), reports.string());
  // The box shows the folder in force: applied at once, with its new activity log.
  EXPECT_EQ(program().settings.outputPath, reports.string());
  EXPECT_NE(program().activityLog.fileName, firstLog);
  EXPECT_TRUE(framesEnabled());
  EXPECT_FALSE(picker.isLoaded());

  // The next opening loads again, from the setting.
  frmMain().cmdBrowseForOutputLocation->click();
  EXPECT_EQ(picker.dirBrowse->path(), reports.string());
}

TEST_F(FolderPickerTest, APickerHiddenByOkOpensAgainWhereItWas) {
  const fs::path traces = test.traceFolder() / "gateway-a";
  fs::create_directories(traces);
  frmMain().cmdBrowseForLog->click();
  FrmBrowseMvLogPath& picker = logPicker();
  ASSERT_TRUE(picker.dirBrowse->openFolder(traces.string()));
  picker.cmdBrowseOK->click();
  // OK stores the trace-log folder at once.
  EXPECT_EQ(frmMain().txtLogLocation->text().toStdString(), traces.string());
  EXPECT_EQ(program().settings.logPath, traces.string());

  setApplicationParameter(program(), parameter::kDefaultMvLogPath, test.traceFolder().string());
  frmMain().cmdBrowseForLog->click();
  EXPECT_EQ(picker.dirBrowse->path(), traces.string());
  EXPECT_TRUE(framesEnabled());  // no second load step
}

}  // namespace
}  // namespace travik

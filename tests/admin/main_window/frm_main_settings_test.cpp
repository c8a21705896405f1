// The main window's settings boxes: what typing lets through, the range
// checks on leaving a box, the units stored, the confirmed decrease of the
// retention, and the change of output folder with its new activity log.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "processing/runtime/application_parameters.h"
#include "processing/runtime/read_only_mode.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public test::ConsoleFixture {
 protected:
  SettingsTest() {
    connect();
    test.openLog();
    frmMain().formLoad();
  }

  std::string stored(const char* property) {
    const auto rows =
        test.rows(std::string("select value from applicationparameters where property = '") + property + "'");
    return rows.empty() ? "<missing>" : rows.front();
  }
  void store(const char* property, const std::string& value) {
    auto update = program().db.prepare("update applicationparameters set value = ?1 where property = ?2");
    update.bind(1, value).bind(2, property).run();
    getApplicationParameter(program());
  }
  // Types into a box whose text was emptied first.
  void retype(QComboBox* box, const char* keys) {
    box->setEditText(QString());
    QTest::keyClicks(box, QString::fromLatin1(keys));
  }
  void leave(QWidget* box) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &out);
  }
  bool focusIsIn(QComboBox* box) {
    QWidget* focus = frmMain().focusWidget();
    return focus == box || focus == box->lineEdit();
  }
  std::string text(QComboBox* box) { return box->currentText().toStdString(); }
};

TEST_F(SettingsTest, TheIntervalBoxesStoreSecondsAndMinutesWithinTheirRanges) {
  FrmMain& w = frmMain();
  retype(w.cmbInterval, "1441");
  leave(w.cmbInterval);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Invalid value.  Please enter a value between 15 and 1440");
  EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_TRUE(focusIsIn(w.cmbInterval));
  EXPECT_EQ(stored("PROCESSINTERVALINSECONDS"), "3600");

  retype(w.cmbInterval, "1440");
  leave(w.cmbInterval);
  EXPECT_EQ(stored("PROCESSINTERVALINSECONDS"), "86400");
  EXPECT_EQ(program().settings.processIntervalSeconds, 86400);

  retype(w.cmbTestInterval, "337");
  leave(w.cmbTestInterval);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Invalid value.  Please enter a value between 1 and 336");
  EXPECT_EQ(stored("TESTCALLINTERVALINMINUTES"), "1440");
  retype(w.cmbTestInterval, "336");
  leave(w.cmbTestInterval);
  EXPECT_EQ(stored("TESTCALLINTERVALINMINUTES"), "20160");

  // A shown 1.5 hours, as loaded from 90 minutes, is stored as 90 again.
  w.cmbTestInterval->setEditText(QStringLiteral("1.5"));
  leave(w.cmbTestInterval);
  EXPECT_EQ(stored("TESTCALLINTERVALINMINUTES"), "90");
  EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(SettingsTest, AnEmptiedBoxGetsTheSettingBackAndPastedTextIsRefused) {
  FrmMain& w = frmMain();
  w.cmbInterval->setEditText(QString());
  leave(w.cmbInterval);
  EXPECT_EQ(text(w.cmbInterval), "60");
  EXPECT_EQ(stored("PROCESSINTERVALINSECONDS"), "3600");
  w.cmbRetention->setEditText(QString());
  leave(w.cmbRetention);
  EXPECT_EQ(text(w.cmbRetention), "72");
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "72");
  EXPECT_TRUE(boxes.empty());

  // Only pasting produces such a text; it must neither be stored nor end the program.
  w.cmbTestInterval->setEditText(QStringLiteral("twelve"));
  leave(w.cmbTestInterval);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Invalid value.  Please enter a value between 1 and 336");
  EXPECT_EQ(stored("TESTCALLINTERVALINMINUTES"), "1440");
  EXPECT_EQ(program().handledErrorCount, 0);
}

TEST_F(SettingsTest, TheNumericBoxesTakeDigitsOnlyAndNoEighthCharacter) {
  FrmMain& w = frmMain();
  for (QComboBox* box : {w.cmbInterval, w.cmbTestInterval, w.cmbRetention}) {
    boxes.clear();
    retype(box, "12345678");
    EXPECT_EQ(text(box), "1234567") << box->objectName().toStdString();
    // Backspace edits a full box as in any text box.
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(text(box), "123456");
    EXPECT_TRUE(boxes.empty());

    box->setEditText(QStringLiteral("1"));
    QTest::keyClick(box, Qt::Key_A);
    QTest::keyClick(box, Qt::Key_Period);
    EXPECT_EQ(text(box), "1");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Enter numeric values only.");
    EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  }
  EXPECT_EQ(w.numericOnlyInput('7'), '7');
  for (int control : {8, 9, 10, 13}) EXPECT_EQ(w.numericOnlyInput(control), control);
  EXPECT_EQ(w.numericOnlyInput(27), 0);
}

TEST_F(SettingsTest, CtrlQAsTheLastKeystrokeOpensTheLongRetentionRange) {
  FrmMain& w = frmMain();
  retype(w.cmbRetention, "337");
  leave(w.cmbRetention);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Invalid value.  Please enter a value between 1 and 336");
  EXPECT_TRUE(focusIsIn(w.cmbRetention));

  // Each digit clears the flag again.
  w.cmbRetention->setEditText(QString());
  QTest::keyClick(w.cmbRetention, Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClicks(w.cmbRetention, QStringLiteral("4000"));
  leave(w.cmbRetention);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Invalid value.  Please enter a value between 1 and 336");
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "72");

  retype(w.cmbRetention, "4000");
  QTest::keyClick(w.cmbRetention, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(text(w.cmbRetention), "4000");
  leave(w.cmbRetention);
  // A raise is stored without a question, and the flag is cleared by storing.
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "4000");
  EXPECT_FALSE(w.extendedRetention);

  // Leaving the box again without Ctrl+Q refuses the stored long retention.
  leave(w.cmbRetention);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].text, "Invalid value.  Please enter a value between 1 and 336");
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "4000");
}

TEST_F(SettingsTest, ALowerRetentionIsConfirmedAndMayExportTheEventsFirst) {
  store("DATARETENTIONINHOURS", "120");
  program().db.exec(
      "insert into Events (Timestamp, Milliseconds, Sequence, Line, Data) values "
      "('2024-03-04 08:00:00', 7, 1, 3, 'Call answered')");
  FrmMain& w = frmMain();
  const std::string question =
      "You have chosen to decrease the hours of data to retain in the database from 120 to 24.  If you choose to "
      "continue, data older than 24 hours will be purged from the TRAVIK database before the next processing "
      "cycle.\r\n\r\nDo you want to continue?";
  auto exports = [&] {
    int files = 0;
    for (const auto& entry : fs::directory_iterator(test.outputFolder()))
      if (entry.path().filename().string().rfind("MVLOG.TRAVIK.", 0) == 0) ++files;
    return files;
  };

  // Cancel: the box shows the retention in force again.
  answers = {MessageResult::Cancel};
  retype(w.cmbRetention, "24");
  leave(w.cmbRetention);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, question);
  EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(text(w.cmbRetention), "120");
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "120");

  // OK and No: stored without an export.
  boxes.clear();
  answers = {MessageResult::Ok, MessageResult::No};
  retype(w.cmbRetention, "24");
  leave(w.cmbRetention);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text,
            "Do you want to export the analog call trace info from the database to make it available for future "
            "TRAVIK processing?");
  EXPECT_EQ(boxes[1].buttons, MessageButtons::YesNo);
  EXPECT_EQ(boxes[1].icon, MessageIcon::Question);
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "24");
  EXPECT_EQ(exports(), 0);

  // OK and Yes: the events are exported before the lower retention is stored.
  store("DATARETENTIONINHOURS", "120");
  boxes.clear();
  answers = {MessageResult::Ok, MessageResult::Yes};
  retype(w.cmbRetention, "24");
  leave(w.cmbRetention);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].text,
            "Analog call trace info has been written to the most recent MVLOG.TRAVIK.<date>.<time>.log "
            "file in the " +
                test.outputFolder().string() + " folder.  Be sure to move this file to another folder.");
  EXPECT_EQ(boxes[2].icon, MessageIcon::None);
  EXPECT_EQ(exports(), 1);
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "24");
  EXPECT_EQ(host.mousePointer(), kPointerDefault);
}

TEST_F(SettingsTest, AFailedExportKeepsTheRetentionSoNothingIsPurgedUnsaved) {
  store("DATARETENTIONINHOURS", "120");
  fs::remove_all(test.outputFolder());
  answers = {MessageResult::Ok, MessageResult::Yes};
  retype(frmMain().cmbRetention, "24");
  leave(frmMain().cmbRetention);
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "120");
  EXPECT_EQ(text(frmMain().cmbRetention), "120");
  for (const std::string& shown : boxTexts()) EXPECT_EQ(shown.find("has been written"), std::string::npos);
}

TEST_F(SettingsTest, TheCheckBoxIsStoredAsItChangesAndTheTraceFolderOnceTheTypingEnds) {
  FrmMain& w = frmMain();
  w.chkTestCalls->setChecked(true);
  EXPECT_EQ(stored("AUTOTEST"), "True");
  EXPECT_TRUE(program().settings.autoTest);
  w.chkTestCalls->setChecked(false);
  EXPECT_EQ(stored("AUTOTEST"), "False");

  // Leaving the box stores the whole text, untested; typing alone stores nothing.
  QTest::keyClicks(w.txtLogLocation, QStringLiteral("/x"));
  EXPECT_EQ(stored("DEFAULTMVLOGPATH"), program().settings.logPath);
  w.txtLogLocation->setText("/x");
  leave(w.txtLogLocation);
  EXPECT_EQ(stored("DEFAULTMVLOGPATH"), "/x");
  EXPECT_EQ(program().settings.logPath, "/x");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SettingsTest, ANewOutputFolderStartsANewActivityLogThere) {
  FrmMain& w = frmMain();
  const std::string firstLog = program().activityLog.fileName;
  // The same text changes nothing.
  leave(w.txtOutputPath);
  EXPECT_EQ(program().activityLog.fileName, firstLog);

  const fs::path elsewhere = test.folder() / "reports";
  fs::create_directories(elsewhere);
  clock = clock.addMinutes(1);
  w.txtOutputPath->setText(QString::fromStdString(elsewhere.string()));
  leave(w.txtOutputPath);
  EXPECT_EQ(stored("DEFAULTOUTPUTPATH"), elsewhere.string());
  EXPECT_EQ(fs::path(program().activityLog.fileName).parent_path(), elsewhere / "logs");
  EXPECT_TRUE(fs::exists(program().activityLog.fileName));
  EXPECT_TRUE(host.logFlushTimerEnabled());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SettingsTest, AMissingOutputFolderIsRefusedAndTheOldOneStays) {
  FrmMain& w = frmMain();
  const std::string missing = (test.folder() / "nowhere").string();
  clock = clock.addMinutes(1);
  w.txtOutputPath->setText(QString::fromStdString(missing));
  leave(w.txtOutputPath);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, missing + " does not exist.  Please select a valid folder for output files.");
  EXPECT_EQ(boxes[0].title, "Configure Valid Output Folder");
  EXPECT_EQ(w.txtOutputPath->text().toStdString(), test.outputFolder().string());
  EXPECT_EQ(stored("DEFAULTOUTPUTPATH"), test.outputFolder().string());
  // Still a new log file, back in the old folder.
  EXPECT_EQ(fs::path(program().activityLog.fileName).parent_path(), test.outputFolder() / "logs");
  EXPECT_TRUE(fs::exists(program().activityLog.fileName));
}

// A database only read, or one another program holds for writing: each change
// gives one box, before any question or export, and every box shows the stored setting again.
class RefusedStoreTest : public SettingsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RefusedStoreTest, EachChangeGivesOneBoxAndTheBoxesShowTheStoredSettings) {
  const bool readOnly = GetParam();
  FrmMain& w = frmMain();
  db::Connection holder;
  if (readOnly)
    enterReadOnlyMode(program(), "The TRAVIK database cannot be written.");
  else
    holder = holdDatabase();
  const std::function<void()> changes[] = {
      [&] { retype(w.cmbRetention, readOnly ? "24" : "96"), leave(w.cmbRetention); },
      [&] { retype(w.cmbInterval, "30"), leave(w.cmbInterval); },
      [&] { w.chkTestCalls->setChecked(true); },
      [&] { QTest::keyClicks(w.txtLogLocation, QStringLiteral("x")), leave(w.txtLogLocation); },
      [&] { w.txtOutputPath->setText(QStringLiteral("/elsewhere")), leave(w.txtOutputPath); },
  };
  for (const auto& change : changes) {
    boxes.clear();
    change();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, readOnly ? "Database not writable" : "TRAVIK");
  }
  EXPECT_EQ(text(w.cmbRetention), "72");
  EXPECT_EQ(text(w.cmbInterval), "60");
  EXPECT_FALSE(w.chkTestCalls->isChecked());
  EXPECT_EQ(w.txtLogLocation->text().toStdString() + "|" + w.txtOutputPath->text().toStdString(),
            program().settings.logPath + "|" + test.outputFolder().string());
  for (const auto& entry : fs::directory_iterator(test.outputFolder()))
    EXPECT_NE(entry.path().filename().string().rfind("MVLOG.TRAVIK.", 0), 0u) << "exported";
}

INSTANTIATE_TEST_SUITE_P(DatabaseOnlyReadOrHeld, RefusedStoreTest, ::testing::Bool());

TEST_F(SettingsTest, EnterInAFolderBoxMovesOnToItsBrowseButton) {
  FrmMain& w = frmMain();
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  const fs::path elsewhere = test.folder() / "reports";
  fs::create_directories(elsewhere);
  w.txtOutputPath->setFocus();
  w.txtOutputPath->setText(QString::fromStdString(elsewhere.string()));
  QTest::keyClick(w.txtOutputPath, Qt::Key_Return);
  EXPECT_TRUE(w.cmdBrowseForOutputLocation->hasFocus());
  // Leaving the box applied the folder.
  EXPECT_EQ(stored("DEFAULTOUTPUTPATH"), elsewhere.string());

  w.txtLogLocation->setFocus();
  QTest::keyClick(w.txtLogLocation, Qt::Key_Return);
  EXPECT_TRUE(w.cmdBrowseForLog->hasFocus());
}

// ---- Real keys: moving and editing keys never reach the numeric key filter ----

class SettingsKeysTest : public SettingsTest {
 protected:
  SettingsKeysTest() {
    frmMain().show();
    frmMain().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&frmMain()));
  }
  // Focus in the box, then its text typed anew.
  void typeInto(QComboBox* box, const char* keys) {
    box->setFocus(Qt::MouseFocusReason);
    retype(box, keys);
  }
};

TEST_F(SettingsKeysTest, TabAndShiftTabLeaveABoxExactlyAsAClickAwayDoes) {
  FrmMain& w = frmMain();
  typeInto(w.cmbInterval, "30");
  QTest::keyClick(w.cmbInterval, Qt::Key_Tab);
  EXPECT_FALSE(focusIsIn(w.cmbInterval));
  EXPECT_EQ(stored("PROCESSINTERVALINSECONDS"), "1800");
  EXPECT_TRUE(boxes.empty());

  // Out of range: the range message, and the focus goes back into the box.
  typeInto(w.cmbInterval, "1441");
  QTest::keyClick(w.cmbInterval, Qt::Key_Tab);
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"Invalid value.  Please enter a value between 15 and 1440"});
  EXPECT_TRUE(focusIsIn(w.cmbInterval));
  EXPECT_EQ(stored("PROCESSINTERVALINSECONDS"), "1800");
  retype(w.cmbInterval, "45");
  QTest::keyClick(w.cmbInterval, Qt::Key_Tab);
  EXPECT_FALSE(focusIsIn(w.cmbInterval));
  EXPECT_EQ(stored("PROCESSINTERVALINSECONDS"), "2700");

  // A box full to its seven characters is left by keyboard too.
  boxes.clear();
  typeInto(w.cmbTestInterval, "0000012");
  QTest::keyClick(w.cmbTestInterval, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_FALSE(focusIsIn(w.cmbTestInterval));
  EXPECT_EQ(stored("TESTCALLINTERVALINMINUTES"), "720");

  // Ctrl+Q as the last keystroke before Tab keeps the long retention range.
  typeInto(w.cmbRetention, "4000");
  QTest::keyClick(w.cmbRetention, Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(w.cmbRetention, Qt::Key_Tab);
  EXPECT_FALSE(focusIsIn(w.cmbRetention));
  EXPECT_EQ(stored("DATARETENTIONINHOURS"), "4000");
  EXPECT_TRUE(boxes.empty());
}

// The preset lists never complete typed digits: 18 is not the preset 180.
TEST_F(SettingsKeysTest, WhatIsTypedIsWhatIsStored) {
  FrmMain& w = frmMain();
  typeInto(w.cmbInterval, "18");
  QTest::keyClick(w.cmbInterval, Qt::Key_Tab);
  EXPECT_EQ(stored("PROCESSINTERVALINSECONDS"), "1080");
  typeInto(w.cmbInterval, "14");
  QTest::keyClick(w.cmbInterval, Qt::Key_Tab);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Invalid value.  Please enter a value between 15 and 1440"});
}

TEST_F(SettingsKeysTest, DeleteBackspaceArrowsAndTheClipboardEditAsInAnyTextBox) {
  FrmMain& w = frmMain();
  for (QComboBox* box : {w.cmbInterval, w.cmbTestInterval, w.cmbRetention}) {
    const std::string name = box->objectName().toStdString();
    typeInto(box, "1234567");
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(text(box), "234567") << name;
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(text(box), "23457") << name;
    QTest::keyClick(box, Qt::Key_Right);
    QTest::keyClick(box, Qt::Key_8);
    EXPECT_EQ(text(box), "234578") << name;

    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "234578") << name;
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text(box), "") << name;
    QGuiApplication::clipboard()->setText(QStringLiteral("48"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text(box), "48") << name;
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(box), "") << name;
    EXPECT_TRUE(boxes.empty()) << name << ": " << (boxes.empty() ? "" : boxes[0].text);
  }
  // A typed character other than a digit still meets the filter.
  QTest::keyClick(w.cmbRetention, Qt::Key_Minus);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Enter numeric values only."});
}

}  // namespace
}  // namespace travik

// The console's host over frmMain's progress display, and the activity log's
// flush timer.
#include "admin/console/console_host.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include "admin/windows/frm_log_flush_timer.h"
#include "processing/runtime/activity_log.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

using test::ConsoleFixture;

TEST_F(ConsoleFixture, StatusAndProgressReachTheMainWindowsControls) {
  FrmMain& w = frmMain();
  host.showStatus("Parsing MVLOG.001...", StatusColour::Progress);
  EXPECT_EQ(w.txtProgress->text().toStdString(), "Parsing MVLOG.001...");
  EXPECT_EQ(w.txtProgress->palette().color(QPalette::Text), QColor(Qt::blue));
  host.showStatus("Processing complete.", StatusColour::WindowText);
  EXPECT_NE(w.txtProgress->palette().color(QPalette::Text), QColor(Qt::blue));

  host.setProgressMin(0);
  host.setProgressMax(7);
  host.setProgressValue(3);
  EXPECT_EQ(w.ProgressBar->minimum(), 0);
  EXPECT_EQ(w.ProgressBar->maximum(), 7);
  EXPECT_EQ(w.ProgressBar->value(), 3);
  EXPECT_EQ(host.progressMax(), 7);

  host.setMousePointer(kPointerHourglass);
  EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor);
  host.setMousePointer(kPointerDefault);
  EXPECT_NE(w.cursor().shape(), Qt::WaitCursor);
}

TEST(ConsoleHost, WhatWasShownBeforeTheWindowExistedReachesItWhenAttached) {
  test::qtApplication();
  ConsoleHost host;
  host.showStatus("Connecting to database...", StatusColour::Progress);
  host.setProgressMax(12);
  host.setProgressValue(5);
  QLineEdit status;
  QProgressBar bar;
  QWidget window;
  host.attachProgressDisplay(&status, &bar, &window);
  EXPECT_EQ(status.text().toStdString(), "Connecting to database...");
  EXPECT_EQ(bar.maximum(), 12);
  EXPECT_EQ(bar.value(), 5);
}

TEST_F(ConsoleFixture, TheFlushTimerRunsWhileALogIsOpenAndItsTickPutsTheLogOnDisk) {
  connect();
  QTimer* timer = console->frmLogFlushTimer().tmrLogFlushTimer;
  EXPECT_EQ(timer->interval(), 60000);
  EXPECT_FALSE(timer->isActive());
  test.openLog();
  EXPECT_TRUE(timer->isActive());
  writeLog(program(), "a line written a moment ago", false);
  console->frmLogFlushTimer().tmrLogFlushTimer_Timer();
  EXPECT_NE(test::readFile(program().activityLog.fileName).find("a line written a moment ago"), std::string::npos);
  closeActivityLog(program());
  EXPECT_FALSE(timer->isActive());
}

TEST_F(ConsoleFixture, WithoutAnOutputFolderNoLogIsOpenedAndTheFlushTimerStaysOff) {
  std::filesystem::remove_all(test.outputFolder());
  connect();
  test.openLog();
  EXPECT_FALSE(console->frmLogFlushTimer().tmrLogFlushTimer->isActive());
  console->frmLogFlushTimer().tmrLogFlushTimer_Timer();
  EXPECT_FALSE(std::filesystem::exists(test.outputFolder()));
}

}  // namespace
}  // namespace travik

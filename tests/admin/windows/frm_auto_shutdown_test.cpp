// The idle auto-shutdown: the idle check, the 120-second countdown, Resume,
// and the pause around a manual run.
#include "admin/windows/frm_auto_shutdown.h"

#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "processing/runtime/application_parameters.h"
#include "processing/runtime/console_interlock.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

class AutoShutdownTest : public test::ConsoleFixture {
 protected:
  AutoShutdownTest() {
    connect();
    test.openLog();
    resetIdleDeadline(program());
    window().tmrCheckForIdleTimeout->start();
  }
  FrmAutoShutdown& window() { return console->frmAutoShutdown(); }
  bool logHas(const std::string& text) { return activityLog().find(text) != std::string::npos; }
};

TEST_F(AutoShutdownTest, TheWindowAndItsTimersAreAsDesigned) {
  FrmAutoShutdown& w = window();
  EXPECT_EQ(w.windowTitle().toStdString(), "TRAVIK Admin - Automatic Shutdown");
  // Wide enough for the whole caption in a bold title bar with its buttons.
  w.adjustSize();
  QFont bold = w.font();
  bold.setBold(true);
  EXPECT_GT(w.width(), QFontMetrics(bold).horizontalAdvance(w.windowTitle()) + 60);
  EXPECT_EQ(w.tmrCheckForIdleTimeout->interval(), 60000);
  EXPECT_EQ(w.tmrSecondsUntilShutdown->interval(), 1000);
  EXPECT_FALSE(w.tmrSecondsUntilShutdown->isActive());
  EXPECT_EQ(w.prgAutoShutdown->maximum(), 120);
  EXPECT_EQ(w.cmdResume->text().toStdString(), "&Resume");
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w.isHidden());
}

TEST_F(AutoShutdownTest, NothingHappensUntilTheDeadlineHasStrictlyPassed) {
  clock = clock.addMinutes(30);
  window().tmrCheckForIdleTimeout_Timer();
  EXPECT_TRUE(window().isHidden());
  EXPECT_TRUE(window().tmrCheckForIdleTimeout->isActive());
  EXPECT_FALSE(logHas("Auto-shutdown"));
}

TEST_F(AutoShutdownTest, PastTheDeadlineTheCountdownRunsAndEndsTheConsoleInOrder) {
  setApplicationParameter(program(), parameter::kAdminRunning, "True");
  clock = clock.addMinutes(30).addSeconds(1);
  FrmAutoShutdown& w = window();
  w.tmrCheckForIdleTimeout_Timer();
  EXPECT_TRUE(logHas(": Auto-shutdown timer initiated.  TRAVIK Admin will exit in 120 seconds."));
  EXPECT_FALSE(w.tmrCheckForIdleTimeout->isActive());
  EXPECT_TRUE(w.tmrSecondsUntilShutdown->isActive());
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.secondsRemaining, 120);
  EXPECT_TRUE(w.lblSeconds->text().isEmpty());

  w.tmrSecondsUntilShutdown_Timer();
  EXPECT_EQ(w.lblSeconds->text().toStdString(), "120");
  EXPECT_EQ(w.prgAutoShutdown->value(), 0);
  for (int tick = 2; tick <= 120; ++tick) w.tmrSecondsUntilShutdown_Timer();
  EXPECT_EQ(w.lblSeconds->text().toStdString(), "1");
  EXPECT_EQ(w.prgAutoShutdown->value(), 119);
  EXPECT_THROW(w.tmrSecondsUntilShutdown_Timer(), ProgramEnded);
  const std::string log = test::readFile(program().activityLog.fileName);
  EXPECT_NE(log.find(": Auto-shutdown timer elapsed.  TRAVIK Admin is exiting."), std::string::npos);
  db::Connection db;
  db.open(program().databasePath().string());
  auto query = db.prepare("select value from applicationparameters where property = 'ADMINRUNNING'");
  ASSERT_TRUE(query.step());
  EXPECT_EQ(query.getText(0), "False");
}

TEST_F(AutoShutdownTest, ResumeHidesTheWindowAndGivesThirtyNewMinutes) {
  clock = clock.addMinutes(45);
  FrmAutoShutdown& w = window();
  w.tmrCheckForIdleTimeout_Timer();
  for (int tick = 0; tick < 50; ++tick) w.tmrSecondsUntilShutdown_Timer();
  w.cmdResume->click();
  EXPECT_TRUE(w.isHidden());
  EXPECT_EQ(program().idleDeadline, clock.addMinutes(30));
  EXPECT_FALSE(w.tmrSecondsUntilShutdown->isActive());
  EXPECT_TRUE(w.tmrCheckForIdleTimeout->isActive());
  EXPECT_TRUE(logHas(": Auto-shutdown aborted by user Resume action."));
  // The next countdown starts again from 120.
  clock = clock.addMinutes(31);
  w.tmrCheckForIdleTimeout_Timer();
  EXPECT_EQ(w.secondsRemaining, 120);
}

TEST_F(AutoShutdownTest, ClosingTheCountdownWindowActsAsResume) {
  clock = clock.addMinutes(31);
  window().tmrCheckForIdleTimeout_Timer();
  window().close();
  EXPECT_TRUE(window().isHidden());
  EXPECT_TRUE(window().tmrCheckForIdleTimeout->isActive());
  EXPECT_FALSE(window().tmrSecondsUntilShutdown->isActive());
  EXPECT_TRUE(logHas("Auto-shutdown aborted by user Resume action."));
}

TEST_F(AutoShutdownTest, AManualRunPausesTheCountdownAndStartsANewIdlePeriodAfterwards) {
  clock = clock.addMinutes(31);
  FrmAutoShutdown& w = window();
  w.tmrCheckForIdleTimeout_Timer();
  w.pauseForManualRun();
  EXPECT_TRUE(w.isHidden());
  EXPECT_FALSE(w.tmrCheckForIdleTimeout->isActive());
  EXPECT_FALSE(w.tmrSecondsUntilShutdown->isActive());
  clock = clock.addMinutes(10);
  w.resumeAfterManualRun();
  EXPECT_EQ(program().idleDeadline, clock.addMinutes(30));
  EXPECT_TRUE(w.tmrCheckForIdleTimeout->isActive());
  EXPECT_FALSE(w.tmrSecondsUntilShutdown->isActive());
}

}  // namespace
}  // namespace travik

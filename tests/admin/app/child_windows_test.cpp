// The console's other windows as the main window's dialogs, the owner of a
// message box, and the "Filtering..." window painted before its work.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "admin/grid_windows/frm_events_for_call.h"
#include "admin/grid_windows/frm_line_summary.h"
#include "admin/grid_windows/frm_octel_summary.h"
#include "admin/grid_windows/frm_recipients_for_task.h"
#include "admin/grid_windows/frm_tasks_for_call.h"
#include "admin/windows/frm_about.h"
#include "admin/windows/frm_browse_mv_log_path.h"
#include "admin/windows/frm_browse_output_path.h"
#include "admin/windows/frm_event_viewer.h"
#include "admin/windows/frm_help.h"
#include "admin/windows/frm_progress.h"
#include "admin/windows/frm_reset_error_counts.h"
#include "admin/windows/frm_test_calls.h"
#include "tests/admin/console_fixture.h"
#include "tests/support/window_texts.h"

namespace travik {
namespace {

class ChildWindowsTest : public test::ConsoleFixture {
 protected:
  ChildWindowsTest() { connect(); }
};

TEST_F(ChildWindowsTest, EveryWindowOpenedFromTheMainWindowIsItsDialogAndStaysAboveIt) {
  FrmMain& main = frmMain();
  main.show();
  const std::vector<QWidget*> children = {
      &console->frmTestCalls(),       &console->frmEventViewer(),       &console->frmResetErrorCounts(),
      &console->frmTasksForCall(),    &console->frmRecipientsForTask(), &console->frmEventsForCall(),
      &console->frmLineSummary(),     &console->frmOctelSummary(),      &console->frmAbout(),
      &console->frmBrowseMvLogPath(), &console->frmBrowseOutputPath(),  &console->frmProgress()};
  for (QWidget* child : children) {
    SCOPED_TRACE(child->objectName().toStdString());
    EXPECT_TRUE(child->isWindow());
    EXPECT_EQ(child->parentWidget(), &main);
    EXPECT_EQ(child->windowType(), Qt::Dialog);
    child->show();
    QCoreApplication::processEvents();
    // What the window manager is told: this window belongs above the main one.
    ASSERT_NE(child->windowHandle(), nullptr);
    EXPECT_EQ(child->windowHandle()->transientParent(), main.windowHandle());
    child->hide();
  }
  // The help page is a browser window of its own.
  EXPECT_EQ(console->frmHelp().parentWidget(), nullptr);
}

TEST_F(ChildWindowsTest, EscapeClosesEveryWindowAsItsCloseDoes) {
  frmMain().show();
  for (QWidget* window : std::initializer_list<QWidget*>{
           &console->frmTestCalls(), &console->frmEventViewer(), &console->frmResetErrorCounts(),
           &console->frmTasksForCall(), &console->frmRecipientsForTask(), &console->frmEventsForCall(),
           &console->frmLineSummary(), &console->frmOctelSummary(), &console->frmAbout(), &console->frmHelp(),
           &console->frmBrowseMvLogPath()}) {
    SCOPED_TRACE(window->objectName().toStdString());
    window->show();
    QApplication::setActiveWindow(window);
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Escape);
    EXPECT_TRUE(window->isHidden());
  }
}

TEST_F(ChildWindowsTest, AMessageBoxBelongsToTheWindowThatIsWorkedIn) {
  EXPECT_EQ(host.messageBoxOwner(), nullptr) << "no window is shown yet";
  FrmMain& main = frmMain();
  main.show();
  QApplication::setActiveWindow(&main);
  EXPECT_EQ(host.messageBoxOwner(), &main);

  FrmTestCalls& testCalls = console->frmTestCalls();
  testCalls.show();
  QApplication::setActiveWindow(&testCalls);
  EXPECT_EQ(host.messageBoxOwner(), &testCalls);

  // Back in the main window, the boxes are the main window's again.
  testCalls.hide();
  QApplication::setActiveWindow(&main);
  EXPECT_EQ(host.messageBoxOwner(), &main);
}

TEST_F(ChildWindowsTest, TheFilteringWindowIsPaintedWithItsTextBeforeItsWorkAndHiddenAfter) {
  FrmProgress& progress = console->frmProgress();
  test::PaintedTexts painted(*progress.lblProgress);
  progress.showWorking(QStringLiteral("Working"));
  // Painted by the time the call returns, that is before any work that follows it.
  EXPECT_THAT(painted.texts, test::paintedOnlyWith("Working"));
  progress.hide();

  painted.texts.clear();
  frmMain().cmdUpdateGridFilters->click();
  EXPECT_THAT(painted.texts, test::paintedOnlyWith("Filtering...this may take a moment..."));
  EXPECT_TRUE(progress.isHidden());
}

}  // namespace
}  // namespace travik

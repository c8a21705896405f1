// Every window of the console at several font sizes: no caption, label,
// button, check box, frame title or date picker loses part of its text, and
// no control sticks out of its container.
#include "tests/support/window_texts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

#include "admin/grid_windows/frm_events_for_call.h"
#include "admin/grid_windows/frm_line_summary.h"
#include "admin/grid_windows/frm_octel_summary.h"
#include "admin/grid_windows/frm_recipients_for_task.h"
#include "admin/grid_windows/frm_tasks_for_call.h"
#include "admin/widgets/window_geometry.h"
#include "admin/windows/frm_about.h"
#include "admin/windows/frm_auto_shutdown.h"
#include "admin/windows/frm_browse_mv_log_path.h"
#include "admin/windows/frm_browse_output_path.h"
#include "admin/windows/frm_event_viewer.h"
#include "admin/windows/frm_reset_error_counts.h"
#include "admin/windows/frm_test_calls.h"
#include "tests/admin/application_font.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

using test::ApplicationFont;
using test::FontCase;
using test::kFontCases;

class WindowTextsTest : public ::testing::WithParamInterface<FontCase>,
                        public ApplicationFont,
                        public test::ConsoleFixture {
 protected:
  WindowTextsTest() : ApplicationFont(GetParam()) { connect(); }

  // Shows the window, lets its layout settle and reports what it cuts off.
  void expectWhole(QWidget& window) {
    window.show();
    QCoreApplication::processEvents();
    for (const std::string& fault : test::clippedTexts(window)) ADD_FAILURE() << fault;
    window.hide();
  }
};

TEST_P(WindowTextsTest, TheDialogFontIsTheOneAskedForWhenInstalled) {
  if (!GetParam().dialogFamily) GTEST_SKIP() << "the desktop's font is used as it is";
  if (!QFontDatabase::families().contains(QString::fromLatin1(platform::kDialogFontFamily)))
    GTEST_SKIP() << platform::kDialogFontFamily << " is not installed (scripts/setup installs it)";
  EXPECT_EQ(QFontInfo(frmMain().font()).family().toStdString(), platform::kDialogFontFamily);
  EXPECT_DOUBLE_EQ(frmMain().font().pointSizeF(), GetParam().points);
}

TEST_P(WindowTextsTest, EveryControlOfEveryWindowShowsItsWholeText) {
  FrmMain& main = frmMain();
  main.formLoad();
  // The widest the pickers show: two-digit month, day and hour, and "PM".
  const QDateTime wide(QDate(2028, 12, 28), QTime(22, 58, 58));
  main.dtpStartRange->setDateTime(wide);
  main.dtpEndRange->setDateTime(wide);
  expectWhole(main);

  expectWhole(console->frmAbout());

  FrmTestCalls& testCalls = console->frmTestCalls();
  testCalls.updateTCForm();
  expectWhole(testCalls);
  FrmEventViewer& eventViewer = console->frmEventViewer();
  eventViewer.updateEVForm();
  expectWhole(eventViewer);
  FrmResetErrorCounts& reset = console->frmResetErrorCounts();
  reset.getLatest();
  expectWhole(reset);

  console->frmTasksForCall().showTasksForCall(QStringLiteral("12282028.225858.01"));
  expectWhole(console->frmTasksForCall());
  console->frmRecipientsForTask().showRecipientsForTask(QStringLiteral("1"));
  expectWhole(console->frmRecipientsForTask());
  console->frmEventsForCall().showEventsForCall(1, QStringLiteral("12/28/2028 10:58:58 PM"));
  expectWhole(console->frmEventsForCall());
  console->frmLineSummary().showTotals();
  expectWhole(console->frmLineSummary());
  console->frmOctelSummary().showTotals();
  expectWhole(console->frmOctelSummary());

  console->frmBrowseMvLogPath().open();
  expectWhole(console->frmBrowseMvLogPath());
  console->frmBrowseOutputPath().open();
  expectWhole(console->frmBrowseOutputPath());

  FrmAutoShutdown& shutdown = console->frmAutoShutdown();
  shutdown.lblSeconds->setText(QStringLiteral("120"));
  expectWhole(shutdown);
}

// Dialog units: the same design takes more pixels with a larger font, in
// proportion, and its controls keep their order and tab order.
TEST_P(WindowTextsTest, TheDesignGrowsWithTheFontAndKeepsItsProportions) {
  FrmMain& main = frmMain();
  const TwipScale scale = twipScale(main);
  EXPECT_EQ(main.minimumWidth(), scale.xAtLeast(kMinimumWindowWidthTwips));
  EXPECT_EQ(main.minimumHeight(), scale.yAtLeast(kMinimumWindowHeightTwips));
  EXPECT_EQ(main.frmService->geometry(), QRect(scale.x(6020), scale.y(60), scale.x(5920), scale.y(1800)));
  // Across the window's width the frames keep their designed proportions.
  EXPECT_NEAR(double(main.frmService->x()) / main.frmDataRange->width(), 6020.0 / 11880, 0.01);
  // Texts that fit need no widening, so neighbours keep their gaps.  (The
  // desktop's font may be wider than its average character says; a widened
  // label may then touch its neighbour.)
  if (!GetParam().dialogFamily) return;
  EXPECT_LT(main.lblRange1->geometry().right(), main.dtpStartRange->x());
  EXPECT_LT(main.dtpStartRange->geometry().right(), main.lblRange2->x());
  EXPECT_LT(main.lblRange2->geometry().right(), main.dtpEndRange->x());
  EXPECT_LT(main.cmdInstallService->geometry().right(), main.cmdUninstallService->x());
  EXPECT_LT(main.cmdUninstallService->geometry().right(), main.cmdStartService->x());
  EXPECT_LT(main.cmdStartService->geometry().right(), main.cmdStopService->x());
  // Tab order is the order of creation, whatever the font.
  EXPECT_EQ(main.txtLogLocation->nextInFocusChain()->objectName().toStdString(), "cmdBrowseForLog");
}

// Before its first show a window's frame is unknown: its size rule keeps the
// designed client area (no empty band below the controls) and lays the
// controls out for an outer size at its minimum.
TEST_P(WindowTextsTest, AWindowOpensAtItsDesignedClientSize) {
  FrmTestCalls& testCalls = console->frmTestCalls();
  const TwipScale scale = twipScale(testCalls);
  testCalls.formResize();
  EXPECT_EQ(testCalls.size(), QSize(scale.xAtLeast(8955), scale.yAtLeast(3345)));
  EXPECT_NEAR(testCalls.frmTC->height(), scale.y(3750 - 555), 1);
  EXPECT_EQ(program().handledErrorCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Fonts, WindowTextsTest, ::testing::ValuesIn(kFontCases),
                         [](const ::testing::TestParamInfo<FontCase>& info) { return info.param.name; });

}  // namespace
}  // namespace travik

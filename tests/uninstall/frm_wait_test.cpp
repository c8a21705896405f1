// The wait window: painted with its text before the command it announces
// runs, and its text whole at the font sizes the screens give it.
#include "uninstall/frm_wait.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "platform/windowing.h"
#include "tests/support/window_texts.h"

namespace travik {
namespace {

// 9 points at 96 and at 144 dots per inch.
class FrmWaitTest : public ::testing::TestWithParam<double> {
 protected:
  FrmWaitTest() : previous_(QApplication::font()) {
    QFont desktop = QApplication::font();
    desktop.setPointSizeF(GetParam());
    QApplication::setFont(platform::dialogFont(desktop));
  }
  ~FrmWaitTest() override { QApplication::setFont(previous_); }

 private:
  QFont previous_;
};

TEST_P(FrmWaitTest, EachWaitIsPaintedWithItsWholeTextBeforeItsCommandRuns) {
  uninstall::FrmWait frmWait;
  test::PaintedTexts painted(*frmWait.lblWait());
  for (const char* text : {"Stopping the TRAVIK service...", "Uninstalling the TRAVIK service..."}) {
    SCOPED_TRACE(text);
    painted.texts.clear();
    frmWait.showWaiting(QStringLiteral("Stopping..."), QString::fromUtf8(text));
    // Returned: what follows is the command, which holds the event loop.
    EXPECT_THAT(painted.texts, test::paintedOnlyWith(std::string(text)));
    EXPECT_EQ(frmWait.windowTitle().toStdString(), "Stopping...");
    for (const std::string& fault : test::clippedTexts(frmWait)) ADD_FAILURE() << fault;
    frmWait.hide();
  }
}

INSTANTIATE_TEST_SUITE_P(Fonts, FrmWaitTest, ::testing::Values(9.0, 13.5));

}  // namespace
}  // namespace travik

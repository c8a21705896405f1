// The wait window: painted with its text before the command it announces
// runs, and its text whole at the font sizes the screens give it.
#include "uninstall/frm_wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QExposeEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTimer>
#include <QWindow>

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

// A window system that maps a window late, as one with a window manager
// between does: the expose of each showing is held back and delivered a
// moment later.  Paint that a window gets before then is lost on a real
// screen; only paint after the expose counts.
class LateExposure : public QObject {
 public:
  explicit LateExposure(QWidget& window) : window_(window) {
    QCoreApplication::instance()->installEventFilter(this);
    window_.installEventFilter(this);
  }
  ~LateExposure() override { QCoreApplication::instance()->removeEventFilter(this); }

  int paintsAfterExpose = 0;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::Paint && exposed_) ++paintsAfterExpose;
    QWindow* handle = window_.windowHandle();
    if (watched != handle || !handle || event->type() != QEvent::Expose || replaying_) return false;
    exposed_ = false;
    if (!handle->isExposed()) return false;
    QTimer::singleShot(0, this, [this, handle] {
      replaying_ = exposed_ = true;
      QExposeEvent late(QRegion(QRect(QPoint(), handle->size())));
      QCoreApplication::sendEvent(handle, &late);
      replaying_ = false;
    });
    return true;
  }

 private:
  QWidget& window_;
  bool exposed_ = false;
  bool replaying_ = false;
};

TEST(FrmWait, ShownAgainRightAfterItWasHiddenItIsPaintedOnceMappedBeforeItsCommandRuns) {
  uninstall::FrmWait frmWait;
  LateExposure windowSystem(frmWait);
  frmWait.showWaiting(QStringLiteral("Stopping..."), QStringLiteral("Stopping the TRAVIK service..."));
  EXPECT_GT(windowSystem.paintsAfterExpose, 0) << "first showing";
  // The stop command ran and held the thread: no event was handled between.
  frmWait.hide();
  windowSystem.paintsAfterExpose = 0;
  frmWait.showWaiting(QStringLiteral("Uninstalling..."), QStringLiteral("Uninstalling the TRAVIK service..."));
  EXPECT_GT(windowSystem.paintsAfterExpose, 0) << "second showing";
}

// The designs put a frame's first controls just below the middle of its
// caption: the caption sits on the frame's top line, not above it.
TEST(DialogLook, AFrameCaptionSitsOnTheFramesTopLine) {
  const QString previousStyle = QApplication::style()->name();
  const QFont previousFont = QApplication::font();
  platform::useDialogLook();
  QGroupBox frame(QStringLiteral("Selection"));
  frame.resize(300, 100);
  QStyleOptionGroupBox option;
  option.initFrom(&frame);
  option.text = frame.title();
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  const QStyle* style = frame.style();
  const QRect caption = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &frame);
  const QRect line = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, &frame);
  EXPECT_GT(line.top(), caption.top());
  EXPECT_LT(line.top(), caption.bottom());
  EXPECT_EQ(QFontInfo(QApplication::font()).family().toStdString(),
            QFontDatabase::families().contains(QString::fromLatin1(platform::kDialogFontFamily))
                ? platform::kDialogFontFamily
                : QFontInfo(previousFont).family().toStdString());
  QApplication::setStyle(previousStyle);
  QApplication::setFont(previousFont);
}

}  // namespace
}  // namespace travik

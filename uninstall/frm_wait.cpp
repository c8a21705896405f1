#include "uninstall/frm_wait.h"

#include <QCoreApplication>
#include <algorithm>

namespace travik::uninstall {

namespace {

// Designed in twips; 15 twips make one pixel at the standard 96 dots per inch.
constexpr int px(int twips) { return twips / 15; }

}  // namespace

FrmWait::FrmWait(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("frmWait");
  setFixedSize(px(3780), px(885));
  lblWait_ = new QLabel(this);
  lblWait_->setObjectName("lblWait");
  lblWait_->setGeometry(px(480), px(300), px(2775), px(195));
}

void FrmWait::showWaiting(const QString& caption, const QString& text) {
  setWindowTitle(caption);
  lblWait_->setText(text);
  // The designed label is one line of the original's small font; grow it to
  // the text so that a larger font does not cut it off.
  const QSize needed = lblWait_->sizeHint();
  lblWait_->resize(std::max(lblWait_->width(), std::min(needed.width(), width() - lblWait_->x())),
                   std::max(lblWait_->height(), needed.height()));
  show();
  QCoreApplication::processEvents();
}

}  // namespace travik::uninstall

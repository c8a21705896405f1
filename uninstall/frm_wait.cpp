#include "uninstall/frm_wait.h"

#include <algorithm>

#include "platform/windowing.h"

namespace travik::uninstall {

FrmWait::FrmWait(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("frmWait");
  // Designed in twips; they follow the window's font.
  const platform::TwipScale scale(font());
  setFixedSize(scale.xAtLeast(3780), scale.yAtLeast(885));
  lblWait_ = new QLabel(this);
  lblWait_->setObjectName("lblWait");
  lblWait_->setGeometry(scale.x(480), scale.y(300), scale.x(2775), scale.y(195));
}

void FrmWait::showWaiting(const QString& caption, const QString& text) {
  setWindowTitle(caption);
  lblWait_->setText(text);
  // A text longer than the designed label takes the room up to the window's
  // edge rather than being cut off.
  const QSize needed = lblWait_->sizeHint();
  lblWait_->resize(std::max(lblWait_->width(), std::min(needed.width(), width() - lblWait_->x())),
                   std::max(lblWait_->height(), needed.height()));
  platform::showPainted(*this);
}

}  // namespace travik::uninstall

#include "admin/windows/frm_progress.h"

#include <QLabel>
#include <QVBoxLayout>

#include "admin/console/console.h"
#include "platform/windowing.h"

namespace travik {

FrmProgress::FrmProgress(Console& console)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint), console_(console) {
  setObjectName(QStringLiteral("frmProgress"));
  setWindowTitle(QStringLiteral(""));
  lblProgress = new QLabel(this);
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  lblProgress->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblProgress);
  resize(300, 80);
}

void FrmProgress::showWorking(const QString& text) {
  lblProgress->setText(text);
  platform::showPainted(*this);
}

}  // namespace travik

#include "admin/windows/frm_auto_shutdown.h"

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "admin/console/console.h"
#include "admin/widgets/controls.h"
#include "admin/widgets/window_geometry.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

QLabel* centredLabel(QWidget* parent, const char* name, const char* text) {
  QLabel* label = makeLabel(parent, name, text);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

FrmAutoShutdown::FrmAutoShutdown(Console& console)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), console_(console) {
  setObjectName(QStringLiteral("frmAutoShutdown"));
  setWindowTitle(QStringLiteral("TRAVIK Admin - Automatic Shutdown"));
  lblAutoShutdown1 = centredLabel(this, "lblAutoShutdown1", "TRAVIK Admin will shutdown automatically in");
  lblSeconds = centredLabel(this, "lblSeconds", "");
  QFont bold = lblSeconds->font();
  bold.setBold(true);
  lblSeconds->setFont(bold);
  lblAutoShutdown2 = centredLabel(this, "lblAutoShutdown2", "seconds.");
  prgAutoShutdown = new QProgressBar(this);
  prgAutoShutdown->setObjectName(QStringLiteral("prgAutoShutdown"));
  prgAutoShutdown->setRange(0, kCountdownSeconds);
  prgAutoShutdown->setValue(0);
  prgAutoShutdown->setTextVisible(false);
  lblAutoShutdown3 = centredLabel(this, "lblAutoShutdown3", "To abort automatic shutdown, click 'Resume'.");
  cmdResume = new QPushButton(QStringLiteral("&Resume"), this);
  cmdResume->setObjectName(QStringLiteral("cmdResume"));

  auto* layout = new QVBoxLayout(this);
  for (QWidget* control : std::initializer_list<QWidget*>{lblAutoShutdown1, lblSeconds, lblAutoShutdown2,
                                                          prgAutoShutdown, lblAutoShutdown3})
    layout->addWidget(control);
  layout->addWidget(cmdResume, 0, Qt::AlignHCenter);
  // As narrow as its texts, the window would have its caption cut short.
  setMinimumWidth(titleBarWidth(*this));

  tmrCheckForIdleTimeout = makeTimer(this, "tmrCheckForIdleTimeout", kIdleCheckIntervalMs);
  tmrSecondsUntilShutdown = makeTimer(this, "tmrSecondsUntilShutdown", kCountdownIntervalMs);
  connect(tmrCheckForIdleTimeout, &QTimer::timeout, this, [this] { tmrCheckForIdleTimeout_Timer(); });
  connect(tmrSecondsUntilShutdown, &QTimer::timeout, this, [this] { tmrSecondsUntilShutdown_Timer(); });
  connect(cmdResume, &QPushButton::clicked, this, [this] { cmdResume_Click(); });
}

void FrmAutoShutdown::tmrCheckForIdleTimeout_Timer() {
  Program& program = console_.program;
  if (!(program.host.now() > program.idleDeadline)) return;
  writeLog(program, "Auto-shutdown timer initiated.  TRAVIK Admin will exit in 120 seconds.", true);
  tmrCheckForIdleTimeout->stop();
  secondsRemaining = kCountdownSeconds;
  tmrSecondsUntilShutdown->start();
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
}

void FrmAutoShutdown::tmrSecondsUntilShutdown_Timer() {
  if (secondsRemaining > 0) {
    lblSeconds->setText(QString::number(secondsRemaining));
    prgAutoShutdown->setValue(kCountdownSeconds - secondsRemaining);
    --secondsRemaining;
    return;
  }
  writeLog(console_.program, "Auto-shutdown timer elapsed.  TRAVIK Admin is exiting.", true);
  shutDownApplication(console_.program, exit_status::kOrderly);
}

void FrmAutoShutdown::cmdResume_Click() {
  resetIdleDeadline(console_.program);
  tmrSecondsUntilShutdown->stop();
  tmrCheckForIdleTimeout->start();
  writeLog(console_.program, "Auto-shutdown aborted by user Resume action.", true);
  hide();
}

void FrmAutoShutdown::pauseForManualRun() {
  tmrCheckForIdleTimeout->stop();
  tmrSecondsUntilShutdown->stop();
  hide();
}

void FrmAutoShutdown::resumeAfterManualRun() {
  resetIdleDeadline(console_.program);
  tmrCheckForIdleTimeout->start();
}

void FrmAutoShutdown::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (tmrSecondsUntilShutdown->isActive())
    cmdResume_Click();
  else
    hide();
}

}  // namespace travik

// frmAutoShutdown: the console ends itself when it has been idle.
//
// Once a minute the idle check compares the clock with the idle deadline
// (30 minutes after the start, the last Resume or the end of the last manual
// run).  Past it, this window counts down 120 seconds and the console exits in
// order, which clears ADMINRUNNING so the service resumes its cycles; Resume
// gives 30 new minutes.  Created hidden at start-up, when the idle check is
// first enabled.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace travik {

class Console;

inline constexpr int kIdleCheckIntervalMs = 60000;
inline constexpr int kCountdownIntervalMs = 1000;
inline constexpr int kCountdownSeconds = 120;

class FrmAutoShutdown : public QWidget {
  Q_OBJECT

 public:
  explicit FrmAutoShutdown(Console& console);

  void tmrCheckForIdleTimeout_Timer();
  void tmrSecondsUntilShutdown_Timer();
  void cmdResume_Click();

  // A manual run pauses the idle check: both timers off, the window hidden
  // (a countdown under way is abandoned).
  void pauseForManualRun();
  // After the run: a new idle deadline and the idle check on again.
  void resumeAfterManualRun();

  // Seconds left in the countdown.
  int secondsRemaining = 0;

  QLabel* lblAutoShutdown1 = nullptr;
  QLabel* lblSeconds = nullptr;
  QLabel* lblAutoShutdown2 = nullptr;
  QProgressBar* prgAutoShutdown = nullptr;
  QLabel* lblAutoShutdown3 = nullptr;
  QPushButton* cmdResume = nullptr;
  QTimer* tmrCheckForIdleTimeout = nullptr;
  QTimer* tmrSecondsUntilShutdown = nullptr;

 protected:
  // Closing the window by its close box acts as Resume, so the idle check
  // never stays off for the rest of the session.
  void closeEvent(QCloseEvent* event) override;

 private:
  Console& console_;
};

}  // namespace travik

// frmLogFlushTimer: the hidden window whose one timer makes the activity log
// reach the disk once a minute while a log is open.
//
// The activity log switches the timer through the host: opening a log
// enables it, closing the log disables it.  Nothing else touches it.
#pragma once

#include <QWidget>

class QTimer;

namespace travik {

class Console;

inline constexpr int kLogFlushIntervalMs = 60000;

class FrmLogFlushTimer : public QWidget {
  Q_OBJECT

 public:
  explicit FrmLogFlushTimer(Console& console);

  void tmrLogFlushTimer_Timer();

  QTimer* tmrLogFlushTimer = nullptr;

 private:
  Console& console_;
};

}  // namespace travik

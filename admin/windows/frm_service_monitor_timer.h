// frmServiceMonitorTimer: the hidden window of the service monitor.
//
// Every 2 seconds its timer asks for the processing service's state and puts
// the main window's service controls into the matching state, changed or not,
// so the buttons follow the real service whoever starts or stops it.
#pragma once

#include <QWidget>

class QTimer;

namespace travik {

class Console;

inline constexpr int kServiceMonitorIntervalMs = 2000;
// The processing service as the monitor asks for it.
inline constexpr const char* kMonitoredServiceName = "travikservice.exe";

class FrmServiceMonitorTimer : public QWidget {
  Q_OBJECT

 public:
  explicit FrmServiceMonitorTimer(Console& console);

  void tmrServiceTimer_Timer();

  QTimer* tmrServiceTimer = nullptr;

 private:
  Console& console_;
};

}  // namespace travik

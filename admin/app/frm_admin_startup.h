// frmAdminStartup: the start of the console program.
//
// Refuses a second console on this machine, warns when the registry says a
// console runs elsewhere or ended abnormally, finds out whether the gateway
// is installed, runs the common start of the processing code, marks the
// console as running for the service (ADMINRUNNING and the registry flag),
// starts the service monitor and shows the main window.  The window itself
// has no controls and is never shown.
#pragma once

#include <QWidget>

namespace travik {

class ConsoleWindows;

// The gateway's service, whose absence limits the console to processing traces.
inline constexpr const char* kGatewayServiceName = "Varnel";

inline constexpr const char* kAlreadyRunningMessage = "The TRAVIK admin application is already running.";
inline constexpr const char* kRunningElsewhereMessage =
    "The server indicates that a TRAVIK admin application is already running in another session.  Multiple "
    "simultaneous TRAVIK admin sessions are not allowed.\n\n"
    "If there are other users logged on to the Varnel server, request that they exit the TRAVIK admin "
    "application, select 'Cancel' below, then try again.\n\n"
    "If you have confirmed there are no other TRAVIK admin sessions running, this condition may be due to the "
    "previous TRAVIK admin session being abnormally terminated.  If this is the case, select 'OK' below to proceed";
inline constexpr const char* kGatewayMissingMessage =
    "The Marrabel Corvane Varnel application is not installed on this server.  TRAVIK functionality will be "
    "limited to processing of mervale logs.  Continue?";

class FrmAdminStartup : public QWidget {
  Q_OBJECT

 public:
  explicit FrmAdminStartup(ConsoleWindows& console);

  // The start-up sequence.  False when the operator or a running console
  // ended it before anything was opened: the program then just ends.  When
  // the database is missing the common start ends the program itself.
  bool formLoad();

 private:
  ConsoleWindows& console_;
};

}  // namespace travik

#include "admin/console/console.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QUrl>
#include <QWidget>

#include "platform/process_runner.h"
#include "platform/service_manager.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/exit_status.h"
#include "processing/runtime/start_up.h"

namespace travik {

ConsolePlatform ConsolePlatform::system() {
  ConsolePlatform platform;
  platform.runCommand = [](std::string_view commandLine, const std::filesystem::path& programFolder) {
    return platform::runCommand(commandLine, programFolder);
  };
  platform.queryServiceState = [](std::string_view serviceName) { return platform::queryServiceState(serviceName); };
  platform.openUrl = [](const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
  };
  return platform;
}

Console::Console(Program& program, ConsoleHost& host, WindowOpener& windows, ConsolePlatform platform)
    : program(program),
      host(host),
      platform(std::move(platform)),
      instanceLock(consoleLockFile(program.programFolder)),
      windows(windows) {}

Console::~Console() = default;

void Console::stopOnSignals(const std::function<bool()>& arrived) {
  program.db.setStopCheck(arrived);
  host.stopSignal = {arrived, [this] { endOnStopSignal(); },
                     [this](std::string_view text) { program.standardError(text); }};
}

void Console::endOnStopSignal() {
  if (program.shuttingDown || endingOnStopSignal_) return;
  endingOnStopSignal_ = true;
  // Before the common start has opened the database there is nothing to put
  // back.  A run closes it for a moment between its steps: it is opened
  // again, so that the end can take the console's mark back.
  if (!started) program.exitProcess(exit_status::kOrderly);
  if (!program.db.isOpen())
    guard(
        program, "endOnStopSignal",
        [&] { program.db.open(program.databasePath().string(), program.databaseBusyTimeoutMs); },
        ErrorHandler::Standard);
  shutDownApplication(program, exit_status::kOrderly);
}

void Console::showModal(QWidget& window) {
  if (modalHook) {
    modalHook(window);
    return;
  }
  window.setWindowModality(Qt::ApplicationModal);
  window.show();
  QEventLoop loop;
  // The window is done with when it is hidden again.
  while (window.isVisible()) loop.processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace travik

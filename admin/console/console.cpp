#include "admin/console/console.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QUrl>
#include <QWidget>

#include "platform/process_runner.h"
#include "platform/service_manager.h"
#include "processing/runtime/console_interlock.h"

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

// A console over a temporary program folder, for tests that drive the real
// widgets on the offscreen platform.
//
// Message boxes are answered from a script and recorded, pauses take no time,
// the clock is set by the test, modal windows do not block, and the command
// runner and the service manager are fakes that record what they were asked.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QObject>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "admin/app/console_windows.h"
#include "admin/console/console_host.h"
#include "admin/main_window/frm_main.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/handled_error.h"
#include "tests/support/test_program.h"

namespace travik::test {

// The one QApplication of the test program, created on first use (never
// during test discovery, which needs no display at all).
inline QApplication& qtApplication() {
  static QApplication* application = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "admin_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *application;
}

class ConsoleFixture : public ::testing::Test {
 protected:
  ConsoleFixture() : test(false) {
    qtApplication();
    // The test program's Program speaks to a FakeHost; the console's speaks
    // to the console's own host, over the same folder and database file.
    test.program = std::make_unique<Program>(test.folder(), "TRAVIKadmin", false, host, test.events);
    Program& p = *test.program;
    p.exitProcess = [](int code) { throw ProgramEnded{code}; };
    p.databaseBusyTimeoutMs = 200;
    p.defaultTraceFolder = test.folder() / "no-gateway-log";
    p.gatewayDataSource = "travik-test-no-such-dsn";
    clock = DateTime(2024, 3, 5, 10, 0, 0);
    host.clock = [this] { return clock; };
    host.sleepHook = [this](int ms) { sleeps.push_back(ms); };
    host.messageBoxHook = [this](const MessageBoxRequest& request) {
      boxes.push_back(request);
      if (!answers.empty()) {
        const MessageResult answer = answers.front();
        answers.pop_front();
        return answer;
      }
      return request.buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
    };
    ConsolePlatform platform;
    platform.runCommand = [this](std::string_view commandLine, const std::filesystem::path&) {
      commands.emplace_back(commandLine);
      if (exitCodes.empty()) return 0;
      const int code = exitCodes.front();
      exitCodes.pop_front();
      return code;
    };
    platform.queryServiceState = [this](std::string_view name) {
      serviceQueries.emplace_back(name);
      const auto found = serviceStates.find(std::string(name));
      return found == serviceStates.end() ? -1 : found->second;
    };
    platform.openUrl = [this](const std::string& address) { openedUrls.push_back(address); };
    console = std::make_unique<ConsoleWindows>(p, host, platform);
    console->modalHook = [this](QWidget& window) { modalWindows.push_back(window.objectName().toStdString()); };
  }

  ~ConsoleFixture() override {
    console.reset();
    test.program->db.close();
  }

  Program& program() { return *test.program; }
  FrmMain& frmMain() { return console->frmMain(); }
  // Opens the database and loads the settings, as the common start does.
  void connect() { test.connect(); }

  template <class Widget>
  Widget* control(QObject& window, const char* name) {
    auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  // A second connection holding the database for writing, as a busy service does.
  db::Connection holdDatabase() {
    db::Connection holder;
    holder.open(program().databasePath().string(), 0);
    holder.exec("BEGIN IMMEDIATE");
    return holder;
  }

  // Texts of the message boxes shown so far.
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : boxes) texts.push_back(box.text);
    return texts;
  }

  // The current activity log's text (after a flush).
  std::string activityLog() {
    flushActivityLog(program());
    return readFile(program().activityLog.fileName);
  }

  TestProgram test;
  ConsoleHost host;
  DateTime clock;
  std::vector<int> sleeps;
  std::vector<MessageBoxRequest> boxes;
  std::deque<MessageResult> answers;
  std::vector<std::string> commands;
  std::deque<int> exitCodes;
  std::vector<std::string> serviceQueries;
  std::map<std::string, int> serviceStates;
  std::vector<std::string> modalWindows;
  std::vector<std::string> openedUrls;
  std::unique_ptr<ConsoleWindows> console;
};

}  // namespace travik::test

// The console's grids on a large database: how long the main window takes
// from the program's start to filled grids, how long Show All, Apply, the
// jumps and a save take, and how much memory the console holds meanwhile.
//
// It runs the real console windows (offscreen unless a display is chosen)
// over an existing program folder, such as the one the throughput benchmark
// keeps with --keep, and prints one row per step: wall time, the rows the
// grids then hold and the resident memory after the step.  The database is
// read, apart from the settings the common start stores; grid files go to
// the folder's output folder.
#include <sys/resource.h>

#include <QApplication>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "admin/app/console_windows.h"
#include "admin/console/console_host.h"
#include "admin/grid_windows/frm_events_for_call.h"
#include "admin/main_window/frm_main.h"
#include "admin/models/bound_grid.h"
#include "admin/models/grid_records.h"
#include "admin/models/query_model.h"
#include "platform/command_line.h"
#include "platform/event_log.h"
#include "processing/run/program_start.h"
#include "processing/runtime/program.h"
#include "processing/runtime/start_up.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A value of /proc/self/status in KB ("VmRSS", "VmHWM"); 0 when it cannot be read.
long statusKb(const std::string& key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + ":", 0) == 0) return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  return 0;
}

// Lets the window system deliver what is pending and renders the window, so
// that every visible cell has been asked for its text.
void paint(QWidget& window) {
  QApplication::processEvents();
  // What the event loop would do on its own: delete what was left for deletion.
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  (void)window.grab();
}

void pressKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(&widget, &release);
}

struct Options {
  fs::path program;
  int repeat = 3;
};

const char* const kUsage =
    "usage: grid_benchmark --program FOLDER [--repeat N]\n"
    "Opens the console's main window over FOLDER/vrndata.mdb (for example the program\n"
    "folder that throughput_benchmark --keep leaves in its work folder) and times\n"
    "start-up to filled grids, Show All, Apply over every stored call, the jumps and\n"
    "saving the calls grid; Show All and Apply take the fastest of N clicks (default 3).\n";

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc || travik::platform::isOptionWord(argv[i + 1]))
      throw std::invalid_argument(name + " needs a value");
    const std::string value = argv[++i];
    if (name == "--program")
      options.program = value;
    else if (name == "--repeat")
      options.repeat = std::max(1, std::stoi(value));
    else
      throw std::invalid_argument("unknown option " + name);
  }
  if (options.program.empty()) throw std::invalid_argument("--program is required");
  if (!fs::exists(options.program / "vrndata.mdb"))
    throw std::invalid_argument("no vrndata.mdb in " + options.program.string());
  return options;
}

struct Step {
  std::string label;
  double seconds;
  int callRows;
  int errorRows;
  long rssKb;
};

}  // namespace

int main(int argc, char** argv) {
  const auto processStart = Clock::now();
  Options options;
  try {
    options = parse(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "grid_benchmark: %s\n%s", error.what(), kUsage);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);

  travik::ConsoleHost host;
  int boxes = 0;
  host.messageBoxHook = [&](const travik::MessageBoxRequest&) {
    ++boxes;
    return travik::MessageResult::Ok;
  };
  host.sleepHook = [](int) {};
  travik::platform::MemoryEventLog events;
  travik::Program program(fs::absolute(options.program), "TRAVIKadmin", false, host, events);
  program.exitProcess = [](int code) { std::_Exit(code); };
  // No gateway on a benchmark machine: its trace level is not checked.
  program.gatewayNotInstalled = true;
  travik::ConsolePlatform platform;
  platform.runCommand = [](std::string_view, const fs::path&) { return 0; };
  platform.queryServiceState = [](std::string_view) { return -1; };
  platform.openUrl = [](const std::string&) {};
  travik::ConsoleWindows console(program, host, platform);

  std::vector<Step> steps;
  travik::FrmMain& w = console.frmMain();
  auto record = [&](const std::string& label, double seconds) {
    steps.push_back({label, seconds, travik::boundModel(*w.flxCalls).rowCount(),
                     travik::boundModel(*w.flxErrors).rowCount(), statusKb("VmRSS")});
  };
  auto timed = [&](const std::string& label, int times, auto action) {
    double best = 0;
    for (int i = 0; i < times; ++i) {
      const auto start = Clock::now();
      action();
      paint(w);
      const double seconds = secondsSince(start);
      if (i == 0 || seconds < best) best = seconds;
    }
    record(label, best);
  };

  // As the start-up window does once the interlock has let it through.
  travik::main(program);
  w.formLoad();
  w.show();
  paint(w);
  record("start to filled grids", secondsSince(processStart));

  timed("Show All, first click", 1, [&] { w.cmdShowAll->click(); });
  timed("Show All", options.repeat, [&] { w.cmdShowAll->click(); });

  // Apply over every stored call: from the first begin to a day after the last.
  const auto span = travik::storedCallsBeginSpan(program.db);
  if (span) {
    w.dtpStartRange->setDateTime(travik::toQDateTime(span->first));
    w.dtpEndRange->setDateTime(travik::toQDateTime(span->last.addHours(24)));
  }
  timed("Apply, every call", options.repeat, [&] { w.cmdUpdateGridFilters->click(); });
  timed("Show All after Apply", 1, [&] { w.cmdShowAll->click(); });

  // The last call, its error in the other grid, and back from the last error.
  // Ctrl+End moves from the current row; without one it only makes the first current.
  w.flxCalls->setCurrentIndex(travik::boundModel(*w.flxCalls).index(0, 0));
  w.flxErrors->setCurrentIndex(travik::boundModel(*w.flxErrors).index(0, 0));
  timed("Ctrl+End in calls, click", 1, [&] {
    pressKey(*w.flxCalls, Qt::Key_End, Qt::ControlModifier);
    w.flxCalls_Click();
  });
  // Checked before the click in the errors grid moves the calls grid to that error's call.
  if (travik::currentRow(*w.flxCalls) != travik::boundModel(*w.flxCalls).rowCount() - 1)
    std::fprintf(stderr, "grid_benchmark: Ctrl+End did not reach the last call\n");
  timed("Ctrl+End in errors, click", 1, [&] {
    pressKey(*w.flxErrors, Qt::Key_End, Qt::ControlModifier);
    w.flxErrors_Click();
  });
  timed("call detail (events of line)", 1, [&] {
    w.cmdViewCallDetail_Click();
    paint(console.frmEventsForCall());
  });
  console.frmEventsForCall().cmdClose->click();

  const int before = boxes;
  timed("save calls grid", 1, [&] { w.cmdSaveCallsGrid_Click(); });
  if (boxes == before) std::fprintf(stderr, "grid_benchmark: the calls grid was not saved\n");

  std::printf("TRAVIK grid benchmark: %s\n", (options.program / "vrndata.mdb").c_str());
  std::printf("%-32s %9s %10s %10s %10s\n", "step", "seconds", "call rows", "error rows", "RSS");
  for (const Step& step : steps)
    std::printf("%-32s %9.3f %10d %10d %7.1f MB\n", step.label.c_str(), step.seconds, step.callRows, step.errorRows,
                step.rssKb / 1024.0);
  std::printf("peak RSS %.1f MB\n", statusKb("VmHWM") / 1024.0);
  std::fflush(stdout);
  // The console's orderly end would store settings and end the process; the
  // benchmark has nothing more to keep.
  std::_Exit(0);
}

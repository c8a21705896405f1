#include "platform/command_line.h"

#include <getopt.h>

#include <cstring>
#include <ostream>
#include <string_view>
#include <vector>

namespace travik::platform {

namespace {

enum Code { kHelp = 1, kVersion, kQtOption };

// Qt's own options that QGuiApplication and QApplication take from the
// command line (with the X11 ones), and whether each takes a value.
struct QtOption {
  const char* name;
  bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},      {"platformpluginpath", true},
    {"platformtheme", true}, {"plugin", true},
    {"qmljsdebugger", true}, {"qwindowgeometry", true},
    {"qwindowicon", true},   {"qwindowtitle", true},
    {"reverse", false},      {"session", true},
    {"display", true},       {"geometry", true},
    {"title", true},         {"name", true},
    {"style", true},         {"stylesheet", true},
    {"widgetcount", false},  {"nograb", false},
    {"dograb", false},       {"sync", false},
};

// The option word as written, without its dashes and any "=value".
std::string_view optionName(std::string_view word) {
  while (!word.empty() && word.front() == '-') word.remove_prefix(1);
  return word.substr(0, word.find('='));
}

}  // namespace

std::string programVersion() {
  return std::to_string(TRAVIK_VERSION_MAJOR) + "." + std::to_string(TRAVIK_VERSION_MINOR) + "." +
         std::to_string(TRAVIK_VERSION_REVISION);
}

std::string usageText(const ProgramUsage& usage) {
  std::string text = "Usage: " + usage.name + (usage.acceptsQtOptions ? " [QT-OPTION]...\n" : "\n");
  text += "  or:  " + usage.name + " --help | --version\n\n";
  text += usage.purpose + "\n\n";
  text += "  --help     show this text and end\n";
  text += "  --version  show the program's name and version and end\n";
  if (usage.acceptsQtOptions)
    text +=
        "\nQt's own options are passed to Qt, for example -platform offscreen or\n"
        "-display :1 (see the Qt documentation of QApplication).\n";
  text += "\nAny other argument is refused: the program then does nothing and ends with status 2.\n";
  return text;
}

std::optional<int> answerCommandLine(int argc, char** argv, const ProgramUsage& usage, std::ostream& out,
                                     std::ostream& err) {
  std::vector<option> options{{"help", no_argument, nullptr, kHelp}, {"version", no_argument, nullptr, kVersion}};
  if (usage.acceptsQtOptions)
    for (const QtOption& qt : kQtOptions)
      options.push_back({qt.name, qt.takesValue ? required_argument : no_argument, nullptr, kQtOption});
  options.push_back({nullptr, 0, nullptr, 0});

  // "+": no reordering, so Qt sees its arguments as given, and the first
  // word that is no option ends the scan (and is refused below).  ":": no
  // message of getopt's own; the usage says it all.
  const int savedOptErr = opterr;
  opterr = 0;
  optind = 0;  // a fresh scan (glibc), also when called again in one process
  bool help = false;
  bool version = false;
  bool refused = false;
  std::string refusedWord;
  for (;;) {
    const int at = optind == 0 ? 1 : optind;
    int index = -1;
    const int code = usage.acceptsQtOptions ? getopt_long_only(argc, argv, "+:", options.data(), &index)
                                            : getopt_long(argc, argv, "+:", options.data(), &index);
    if (code == -1) break;
    const std::string_view word = at < argc ? argv[at] : "";
    // Only the full names count: getopt would take "--he" for --help, and Qt
    // knows its options only by their full names, with the value as the next
    // word.  Ours take two dashes.
    const bool exact = index >= 0 && optionName(word) == options[static_cast<std::size_t>(index)].name &&
                       (code == kQtOption ? word.find('=') == std::string_view::npos : word.rfind("--", 0) == 0);
    if (code == kHelp && exact) {
      help = true;
    } else if (code == kVersion && exact) {
      version = true;
    } else if (code == kQtOption && exact) {
    } else {
      refused = true;
      if (refusedWord.empty()) refusedWord = std::string(word);
    }
  }
  if (!refused && optind < argc) {
    refused = true;
    refusedWord = argv[optind];
  }
  opterr = savedOptErr;

  if (refused) {
    err << usage.name << ": unknown argument '" << refusedWord << "'\n" << usageText(usage);
    err.flush();
    return 2;
  }
  if (help) {
    out << usageText(usage);
    out.flush();
    return 0;
  }
  if (version) {
    out << usage.name << " " << programVersion() << "\n";
    out.flush();
    return 0;
  }
  return std::nullopt;
}

}  // namespace travik::platform

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

// Why the words after the options are refused, or "" when they are the
// tool's operands.  A word beginning with '-' there is an option out of its
// place (or mistyped), not a file name, unless "--" came before it.
std::string refusedOperands(int argc, char** argv, int first, bool afterDashes, const ProgramUsage& usage,
                            bool answering) {
  for (int i = first; i < argc; ++i)
    if (!afterDashes && isOptionWord(argv[i])) return std::string("unknown argument '") + argv[i] + "'";
  const std::size_t given = static_cast<std::size_t>(argc - first);
  if (given > usage.operands.size())
    return std::string("unknown argument '") + argv[first + static_cast<int>(usage.operands.size())] + "'";
  if (given < usage.operands.size() && !answering) return "missing " + usage.operands[given];
  return "";
}

}  // namespace

bool isOptionWord(std::string_view word) { return !word.empty() && word.front() == '-'; }

std::string programVersion() {
  return std::to_string(TRAVIK_VERSION_MAJOR) + "." + std::to_string(TRAVIK_VERSION_MINOR) + "." +
         std::to_string(TRAVIK_VERSION_REVISION);
}

std::string usageText(const ProgramUsage& usage) {
  std::string text = "Usage: " + usage.name + (usage.acceptsQtOptions ? " [QT-OPTION]..." : "");
  for (const std::string& operand : usage.operands) text += " " + operand;
  text += "\n";
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
  int at = 1;
  for (;;) {
    at = optind == 0 ? 1 : optind;
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
  const bool afterDashes = optind == at + 1 && std::strcmp(argv[at], "--") == 0;
  const std::string why = refused ? "unknown argument '" + refusedWord + "'"
                                  : refusedOperands(argc, argv, optind, afterDashes, usage, help || version);
  opterr = savedOptErr;

  if (!why.empty()) {
    err << usage.name << ": " << why << "\n" << usageText(usage);
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

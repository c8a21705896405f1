// The command line of the three programs and of the build tool make_database.
//
// The programs take no arguments of their own, the tool only its operands:
// `--help` and `--version` are answered at once and anything else is refused
// with the usage, before the program looks at a file, a database, a lock, a
// display or a service.  A program that acted on an argument it did not
// understand would be handling its input unsafely; the uninstaller above all,
// and a tool that took a mistyped option for a file name would make that file.
// The Qt programs also accept Qt's own options (`-platform offscreen`,
// `-display :1`, ...), which they pass on to Qt unchanged.
//
// Parsed with libc's getopt_long (getopt_long_only for the Qt programs, whose
// options begin with one dash): always present, the GNU conventions an
// operator expects ("--" ends the options, a missing value is noticed, a
// first word that is no option ends the scan), and no package to add for two
// options.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace travik::platform {

struct ProgramUsage {
  std::string name;     // "TRAVIKservice"
  std::string purpose;  // one paragraph: what the program does when started without arguments
  bool acceptsQtOptions = false;
  // A tool's operands after its options, as the usage names them ("SCHEMA.SQL"):
  // each one required, none beginning with '-' unless after "--".
  std::vector<std::string> operands = {};
};

// A word that is an option, never a value or a file name: it begins with '-'.
bool isOptionWord(std::string_view word);

// The x.y.z version of this build, as the activity log's header shows it.
std::string programVersion();

// The usage paragraph, beginning "Usage:".
std::string usageText(const ProgramUsage& usage);

// Answers the command line: the exit status to end with at once (0 after
// --help or --version, written to out; 2, exit_status::kUsage, after anything
// else, with the usage written to err), or nothing when the program is to
// start as usual; its operands are then the last words of argv.
std::optional<int> answerCommandLine(int argc, char** argv, const ProgramUsage& usage, std::ostream& out,
                                     std::ostream& err);

}  // namespace travik::platform

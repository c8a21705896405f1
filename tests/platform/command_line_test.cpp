// The programs' command line: --help and --version answered, Qt's own
// options let through to Qt, everything else refused before the program acts.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace travik::platform {
namespace {

struct Answer {
  std::optional<int> status;
  std::string out;
  std::string err;
  std::vector<std::string> argvAfter;
};

Answer answer(std::vector<std::string> words, bool qt, std::vector<std::string> operands = {}) {
  const ProgramUsage usage{"TRAVIKtest", "Does what a test program does.", qt, std::move(operands)};
  words.insert(words.begin(), "TRAVIKtest");
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::ostringstream out, err;
  Answer result;
  result.status = answerCommandLine(static_cast<int>(words.size()), argv.data(), usage, out, err);
  result.out = out.str();
  result.err = err.str();
  for (std::size_t i = 0; i + 1 < argv.size(); ++i) result.argvAfter.push_back(argv[i]);
  return result;
}

TEST(CommandLine, HelpAndVersionAreAnsweredOnStandardOutput) {
  for (bool qt : {false, true}) {
    const Answer help = answer({"--help"}, qt);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: TRAVIKtest", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("Does what a test program does."), std::string::npos);
    EXPECT_EQ(help.out.find("-platform") != std::string::npos, qt) << help.out;
    EXPECT_EQ(help.err, "");

    const Answer version = answer({"--version"}, qt);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "TRAVIKtest " + programVersion() + "\n");
    EXPECT_EQ(version.err, "");
  }
  // The activity log's header shows the same three numbers.
  EXPECT_EQ(programVersion(), std::to_string(TRAVIK_VERSION_MAJOR) + "." + std::to_string(TRAVIK_VERSION_MINOR) + "." +
                                  std::to_string(TRAVIK_VERSION_REVISION));
}

TEST(CommandLine, NoArgumentsStartTheProgram) {
  for (bool qt : {false, true}) {
    const Answer none = answer({}, qt);
    EXPECT_FALSE(none.status.has_value());
    EXPECT_EQ(none.out + none.err, "");
  }
}

TEST(CommandLine, AnythingElseIsRefusedWithTheUsageOnStandardError) {
  const std::vector<std::vector<std::string>> refused = {
      {"-h"},
      {"--bogus"},
      {"REMOVE"},
      {"--he"},
      {"--vers"},
      {"--help=yes"},
      {"-help"},
      {"-version"},
      {"--help", "x"},
      {"--", "x"},
      {"-"},
      {"--version", "--bogus"},
      {"-platform", "offscreen"},
      {"--display=:1"},
      {"-n"},
      {""},
  };
  for (const auto& words : refused) {
    const Answer result = answer(words, false);
    EXPECT_EQ(result.status, 2) << words.front();
    EXPECT_EQ(result.out, "") << words.front();
    EXPECT_NE(result.err.find("Usage: TRAVIKtest"), std::string::npos) << words.front();
    EXPECT_NE(result.err.find("unknown argument"), std::string::npos) << words.front();
  }
}

TEST(CommandLine, QtProgramsLetQtsOwnOptionsThroughUnchangedAndRefuseTheRest) {
  const std::vector<std::vector<std::string>> accepted = {
      {"-platform", "offscreen"},
      {"--platform", "offscreen"},
      {"-display", ":1", "-style", "fusion", "-reverse"},
      {"-platform", "offscreen", "--"},
  };
  for (const auto& words : accepted) {
    const Answer result = answer(words, true);
    EXPECT_FALSE(result.status.has_value()) << words.front() << ": " << result.err;
    std::vector<std::string> expected{"TRAVIKtest"};
    expected.insert(expected.end(), words.begin(), words.end());
    EXPECT_EQ(result.argvAfter, expected);  // Qt reads them as given
  }
  EXPECT_EQ(answer({"-platform", "offscreen", "--version"}, true).status, 0);

  // Qt knows its options by their full names, with the value as the next word.
  const std::vector<std::vector<std::string>> refused = {
      {"-platform"}, {"-plat", "offscreen"}, {"-platform=offscreen"},      {"-platform", "offscreen", "extra"},
      {"-x"},        {"--unknown"},          {"-display", ":1", "REMOVE"},
  };
  for (const auto& words : refused) {
    const Answer result = answer(words, true);
    EXPECT_EQ(result.status, 2) << words.front();
    EXPECT_NE(result.err.find("Usage: TRAVIKtest"), std::string::npos);
  }
}

TEST(CommandLine, AToolTakesItsOperandsAfterItsOptionsAndNeverAnOptionForOne) {
  const std::vector<std::string> operands{"SCHEMA.SQL", "DATABASE"};
  for (const auto& words : std::vector<std::vector<std::string>>{{"a.sql", "b.mdb"}, {"--", "a.sql", "-b.mdb"}})
    EXPECT_FALSE(answer(words, false, operands).status.has_value()) << words.back();
  EXPECT_EQ(answer({"--help"}, false, operands).status, 0);
  for (const auto& words : std::vector<std::vector<std::string>>{
           {"a.sql", "--version"}, {"a.sql", "-"}, {"-x", "b.mdb"}, {"a.sql"}, {"a.sql", "b.mdb", "c"}})
    EXPECT_EQ(answer(words, false, operands).status, 2) << words.back();
  EXPECT_NE(answer({"a.sql"}, false, operands).err.find("missing DATABASE"), std::string::npos);
}

TEST(CommandLine, TheRefusalNamesTheFirstWordNotUnderstood) {
  EXPECT_NE(answer({"--help", "--frobnicate"}, false).err.find("'--frobnicate'"), std::string::npos);
  EXPECT_NE(answer({"positional"}, true).err.find("'positional'"), std::string::npos);
}

}  // namespace
}  // namespace travik::platform

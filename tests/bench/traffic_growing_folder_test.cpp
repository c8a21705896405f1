// The folder while the gateway writes it: every state is the trace up to the
// cut, in the gateway's files, with the gateway's modification times.
#include "bench/traffic_growing_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "bench/traffic_generator.h"
#include "bench/traffic_trace_writer.h"
#include "processing/runtime/file_times.h"
#include "tests/support/test_program.h"

namespace travik::traffic {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

struct FileState {
  std::string name;
  std::string bytes;
  DateTime modified;
  bool operator==(const FileState&) const = default;
};

std::vector<FileState> stateOf(const fs::path& folder) {
  std::vector<FileState> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind("MVLOG.", 0) == 0)
      files.push_back({entry.path().filename(), test::readFile(entry.path()), fileModificationTime(entry.path())});
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return files;
}

class GrowingFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TrafficOptions options;
    options.folder = generated.path();
    options.lines = 2;
    options.hours = 1;
    options.end = DateTime(2005, 4, 12, 12, 0, 0);
    options.maxFileBytes = 3000;
    options.rollOverAnywhere = true;
    files = generateTraffic(options).files;
    ASSERT_GE(files.size(), 5u);
  }

  // The state after `cut` bytes, built from the generated files alone.
  std::vector<FileState> expectedState(std::size_t cut) const {
    std::vector<FileState> state;
    for (const fs::path& file : files) {
      if (cut == 0) break;
      std::string bytes = test::readFile(file);
      const std::size_t kept = std::min(cut, bytes.size());
      const bool whole = kept == bytes.size();
      cut -= kept;
      DateTime modified = fileModificationTime(file);
      if (!whole) {
        // The last line begun (the byte before the cut may be its LF) was
        // written in the moment of its stamp.
        const std::size_t begun = kept < 2 ? 0 : bytes.rfind('\n', kept - 2) + 1;
        modified = DateTime::fromSerialSeconds(traceLineTime(std::string_view(bytes).substr(begun)) / 1000);
        bytes.resize(kept);
      }
      state.push_back({file.filename(), bytes, modified});
      if (!whole) break;
    }
    return state;
  }

  TempFolder generated;
  std::vector<fs::path> files;
};

TEST_F(GrowingFolderTest, EveryCutGivesThePrefixInTheGatewaysFilesWithTheirTimes) {
  const GrowingFolder folder(files);
  std::string all;
  for (const auto& file : files) all += test::readFile(file);
  ASSERT_EQ(folder.text(), all);
  ASSERT_EQ(folder.fileStarts().size(), files.size());

  // At a roll-over, just after it, inside the first line of a file, between
  // CR and LF, at the end; and at seeded random bytes.
  const std::size_t second = folder.fileStarts()[1];
  std::vector<std::size_t> cuts{1, 17, 30, second - 1, second, second + 1, folder.text().size()};
  const std::size_t firstLineEnd = all.find('\n');
  cuts.push_back(firstLineEnd);  // the CR is there, the LF not yet
  std::mt19937_64 random(5);
  for (int i = 0; i < 20; ++i) cuts.push_back(1 + random() % (all.size() - 1));
  std::sort(cuts.begin(), cuts.end());

  // One folder grown cut by cut, writing only what changed, and each state
  // written afresh: both as the gateway would have left the folder.
  TempFolder grown;
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    SCOPED_TRACE("cut at byte " + std::to_string(cut));
    folder.write(grown.path(), cut, from);
    from = cut;
    const auto expected = expectedState(cut);
    EXPECT_EQ(stateOf(grown.path()), expected);
    TempFolder fresh;
    folder.write(fresh.path(), cut);
    EXPECT_EQ(stateOf(fresh.path()), expected);
  }
  EXPECT_THROW(folder.write(grown.path(), 5, 10), std::invalid_argument);
}

TEST_F(GrowingFolderTest, FileTimesLieOnceTheTextReachesTheirByteWhateverTheCuts) {
  GrowingFolder folder(files);
  const auto& starts = folder.fileStarts();
  // Each lie is told to the newest file complete at its byte: files 0, 1 and 2.
  folder.lie({FileTimeLie::Copy, starts[1] + 5});
  folder.lie({FileTimeLie::Touch, starts[2] + 5});
  folder.lie({FileTimeLie::RepeatedHour, starts[3] + 5});
  const std::size_t size = folder.text().size();
  const DateTime now = DateTime::fromSerialSeconds(folder.lineTimeAt(size - 1) / 1000 + 1);
  auto lastLineTime = [&](std::size_t file) {
    return DateTime::fromSerialSeconds(folder.lineTimeAt(starts[file + 1] - 1) / 1000);
  };

  TempFolder grown;
  folder.write(grown.path(), starts[1] + 4);
  EXPECT_FALSE(fs::exists(grown.path() / GrowingFolder::copyName(folder.fileName(0))));
  folder.write(grown.path(), starts[2] + 5, starts[1] + 4);
  const fs::path copy = grown.path() / GrowingFolder::copyName(folder.fileName(0));
  ASSERT_TRUE(fs::exists(copy));
  EXPECT_EQ(test::readFile(copy), test::readFile(files[0]));
  EXPECT_EQ(fileModificationTime(copy), now);
  EXPECT_EQ(fileModificationTime(grown.path() / folder.fileName(1)), now);
  folder.write(grown.path(), size, starts[2] + 5);
  EXPECT_EQ(fileModificationTime(grown.path() / folder.fileName(2)), lastLineTime(2).addSeconds(3600));

  TempFolder fresh;
  folder.write(fresh.path(), size);
  EXPECT_EQ(stateOf(fresh.path()), stateOf(grown.path()));
}

TEST_F(GrowingFolderTest, TheGeneratorWritesTheStatesOfItsCutList) {
  const GrowingFolder folder(files);
  TempFolder into;
  const auto states = writeFolderStates(folder, into.path(), 4, 9);
  ASSERT_EQ(states.size(), 4u);
  std::istringstream list(test::readFile(into.path() / "cuts.txt"));
  std::size_t previous = 0;
  for (const fs::path& state : states) {
    std::string name;
    std::size_t cut = 0;
    ASSERT_TRUE(list >> name >> cut);
    EXPECT_EQ(state, into.path() / name);
    EXPECT_GT(cut, previous);
    previous = cut;
    EXPECT_EQ(stateOf(state), expectedState(cut)) << name;
  }
}

}  // namespace
}  // namespace travik::traffic

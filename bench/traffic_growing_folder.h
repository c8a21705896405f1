// The trace folder while the gateway writes it.
//
// The gateway appends to its newest file and, once that is full, starts the
// next one.  Whoever lists the folder at some moment finds the older files
// complete and the newest one as far as the gateway has got, often inside a
// line.  A GrowingFolder holds the generated files as one text and writes the
// folder as it stood after any number of bytes of that text: the files before
// the cut whole, the file of the cut up to it, no later file.  A file's
// modification time is the second of the last line begun in it, since the
// gateway writes a line in the moment it stamps it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/traffic_calls.h"

namespace travik::traffic {

// File times that lie, as they do on real servers.  Each happens once, when
// the text written reaches byte `at`, to the newest file complete by then;
// "now" is the second after the text's last line.
struct FileTimeLie {
  enum Kind {
    Copy,          // the file is copied under a new name and gets the time of the copy, now
    Touch,         // the file is touched: its time becomes now
    RepeatedHour,  // the file's time is an hour later, as written before the clock fell back
  };
  Kind kind = Touch;
  std::size_t at = 0;
};

class GrowingFolder {
 public:
  // Reads the files in the order the gateway wrote them.
  explicit GrowingFolder(const std::vector<std::filesystem::path>& files);

  // Every file's bytes, one after the other.
  const std::string& text() const { return text_; }
  // Where each file begins in text(): the roll-overs.
  const std::vector<std::size_t>& fileStarts() const { return starts_; }
  const std::string& fileName(std::size_t file) const { return names_.at(file); }
  // The time stamp of the line that holds byte `at` of text().
  Millis lineTimeAt(std::size_t at) const;

  // Makes folder hold the state after `to` bytes, given that it holds the
  // state after `from` bytes (0: nothing): only the files that grew or came
  // are written.  from must not exceed to.
  void write(const std::filesystem::path& folder, std::size_t to, std::size_t from = 0) const;

  // Makes the first line of `file` (not the first file) a file of its own,
  // without its line end, named to sort just before: a gateway that began a
  // file, wrote one line and went on in the next without ending it.
  void unendFirstLine(std::size_t file);

  // Lies that write() tells from now on.
  void lie(const FileTimeLie& lie) { lies_.push_back(lie); }
  // The name a copied file gets.
  static std::string copyName(const std::string& name) { return name + ".copy"; }

 private:
  void tell(const std::filesystem::path& folder, const FileTimeLie& lie) const;

  std::size_t fileEnd(std::size_t file) const;

  std::vector<std::string> names_;
  std::string text_;
  std::vector<std::size_t> starts_;
  std::vector<FileTimeLie> lies_;
};

// Writes `count` states of the folder, cut at distinct byte offsets drawn from
// the seed, into folders "01", "02" ... below into, with "cuts.txt" naming
// each folder's offset.  Returns the folders, oldest state first.
std::vector<std::filesystem::path> writeFolderStates(const GrowingFolder& folder, const std::filesystem::path& into,
                                                     int count, std::uint64_t seed);

}  // namespace travik::traffic

#include "bench/traffic_growing_folder.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <stdexcept>

#include "bench/traffic_random.h"
#include "bench/traffic_trace_writer.h"
#include "processing/runtime/file_times.h"
#include "processing/text/date_time.h"

namespace travik::traffic {

namespace fs = std::filesystem;

GrowingFolder::GrowingFolder(const std::vector<fs::path>& files) {
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) throw std::runtime_error("cannot read the trace file " + file.string());
    names_.push_back(file.filename().string());
    starts_.push_back(text_.size());
    text_ += bytes;
  }
}

std::size_t GrowingFolder::fileEnd(std::size_t file) const {
  return file + 1 < starts_.size() ? starts_[file + 1] : text_.size();
}

Millis GrowingFolder::lineTimeAt(std::size_t at) const {
  const std::size_t fileStart = *(std::upper_bound(starts_.begin(), starts_.end(), at) - 1);
  // A file may begin after a line without its line end.
  const std::size_t begin = std::max(fileStart, at == 0 ? 0 : text_.rfind('\n', at - 1) + 1);  // npos + 1 is 0
  return traceLineTime(std::string_view(text_).substr(begin));
}

void GrowingFolder::unendFirstLine(std::size_t file) {
  if (file == 0 || file >= starts_.size()) throw std::invalid_argument("no file before the one to split");
  const std::size_t lineEnd = text_.find('\n', starts_[file]);
  if (lineEnd == std::string::npos || lineEnd >= fileEnd(file)) throw std::invalid_argument("the file has no line");
  const std::size_t cut = text_[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
  const std::size_t removed = lineEnd + 1 - cut;
  text_.erase(cut, removed);
  for (std::size_t later = file + 1; later < starts_.size(); ++later) starts_[later] -= removed;
  starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(file) + 1, cut);
  names_.insert(names_.begin() + static_cast<std::ptrdiff_t>(file), names_[file - 1] + ".1");
}

void GrowingFolder::write(const fs::path& folder, std::size_t to, std::size_t from) const {
  if (from > to || to > text_.size()) throw std::invalid_argument("a folder state outside the text");
  for (std::size_t file = 0; file < starts_.size() && starts_[file] < to; ++file) {
    if (fileEnd(file) <= from) continue;  // complete already
    const std::size_t end = std::min(fileEnd(file), to);
    const fs::path path = folder / names_[file];
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(text_.data() + starts_[file], static_cast<std::streamsize>(end - starts_[file]));
      if (!out) throw std::runtime_error("cannot write the trace file " + path.string());
    }
    setFileModificationTime(path, DateTime::fromSerialSeconds(lineTimeAt(end - 1) / 1000));
  }
  for (const FileTimeLie& lie : lies_)
    if (lie.at > from && lie.at <= to) tell(folder, lie);
}

void GrowingFolder::tell(const fs::path& folder, const FileTimeLie& lie) const {
  std::size_t file = starts_.size();
  while (file > 0 && fileEnd(file - 1) > lie.at) --file;
  if (file == 0) return;  // no file is complete yet
  --file;
  const fs::path path = folder / names_[file];
  const DateTime now = DateTime::fromSerialSeconds(lineTimeAt(text_.size() - 1) / 1000 + 1);
  switch (lie.kind) {
    case FileTimeLie::Copy: {
      const fs::path copy = folder / copyName(names_[file]);
      fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
      setFileModificationTime(copy, now);
      break;
    }
    case FileTimeLie::Touch: setFileModificationTime(path, now); break;
    case FileTimeLie::RepeatedHour:
      setFileModificationTime(path, DateTime::fromSerialSeconds(lineTimeAt(fileEnd(file) - 1) / 1000 + 3600));
      break;
  }
}

std::vector<fs::path> writeFolderStates(const GrowingFolder& folder, const fs::path& into, int count,
                                        std::uint64_t seed) {
  const std::size_t size = folder.text().size();
  Random random(streamSeed(seed, 101));
  std::set<std::size_t> cuts;
  while (static_cast<int>(cuts.size()) < count && cuts.size() + 1 < size) cuts.insert(1 + random.below(size - 1));

  fs::create_directories(into);
  std::ofstream list(into / "cuts.txt", std::ios::binary);
  const std::size_t width = std::max<std::size_t>(2, std::to_string(cuts.size()).size());
  std::vector<fs::path> states;
  for (const std::size_t cut : cuts) {
    std::string name = std::to_string(states.size() + 1);
    name.insert(0, width - name.size(), '0');
    const fs::path state = into / name;
    fs::create_directories(state);
    folder.write(state, cut);
    list << name << ' ' << cut << '\n';
    states.push_back(state);
  }
  if (!list) throw std::runtime_error("cannot write " + (into / "cuts.txt").string());
  return states;
}

}  // namespace travik::traffic

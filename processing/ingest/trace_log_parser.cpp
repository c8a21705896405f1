#include "processing/ingest/trace_log_parser.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <fcntl.h>
#include <pcre2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "processing/ingest/trace_read_positions.h"
#include "processing/ingest/trace_text.h"
#include "processing/runtime/error_handling.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProcedure = "ProcessLogFile";

// The trace pattern, exactly as the gateway's lines have always been matched:
// case-sensitive, first match of the line, running to the line's end.
constexpr const char* kTracePattern =
    R"([0-9]{4}/[0-9]{2}/[0-9]{2}-[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} .* Line [0-9]{1,2}: .*$)";

constexpr std::size_t kNone = std::string_view::npos;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
int digitsAt(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// End of the last " Line <1-2 digits>: " of the line, or kNone.  Every match
// of the pattern ends its " Line n: " at or before this point and the rest
// of the line is taken by the closing ".*$", so matching the line up to here
// finds the same first match while no start position can rescan a long tail.
std::size_t endOfLastLineMarker(std::string_view line) {
  constexpr std::string_view kMarker = " Line ";
  std::size_t from = line.size();
  while (from != kNone && from >= kMarker.size()) {
    const std::size_t at = line.rfind(kMarker, from - kMarker.size());
    if (at == kNone) return kNone;
    std::size_t p = at + kMarker.size();
    if (p < line.size() && isDigit(line[p])) {
      ++p;
      if (p + 1 < line.size() && line[p] == ':' && line[p + 1] == ' ') return p + 2;
      if (p + 2 < line.size() && isDigit(line[p]) && line[p + 1] == ':' && line[p + 2] == ' ') return p + 3;
    }
    if (at == 0) return kNone;
    from = at + kMarker.size() - 1;
  }
  return kNone;
}

std::size_t utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

void trimBlanks(std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  text.resize(text.find_last_not_of(' ') + 1);
  text.erase(0, first);
}

// "YYYY-MM-DD HH:MM:SS" into a buffer, without the allocation of toStored().
std::string_view storedForm(const DateTime& t, char (&out)[19]) {
  auto two = [&](int at, int value) {
    out[at] = static_cast<char>('0' + value / 10 % 10);
    out[at + 1] = static_cast<char>('0' + value % 10);
  };
  two(0, t.year() / 100);
  two(2, t.year() % 100);
  out[4] = '-';
  two(5, t.month());
  out[7] = '-';
  two(8, t.day());
  out[10] = ' ';
  two(11, t.hour());
  out[13] = ':';
  two(14, t.minute());
  out[16] = ':';
  two(17, t.second());
  return std::string_view(out, sizeof out);
}

std::string countOf(std::int64_t count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

// Reads a trace file line by line through one bounded buffer, from a given
// offset.  A line ends at CR LF, LF or a lone CR; a CR that is the file's last
// byte ends no line yet, since its LF may follow.  A line longer than
// kMaximumTraceLineBytes keeps its last kMaximumTraceLineBytes bytes.
class LineReader {
 public:
  // Reads from offset up to limit, which must be a line's start.
  LineReader(int fd, std::int64_t offset, std::vector<char>& buffer,
             std::int64_t limit = std::numeric_limits<std::int64_t>::max())
      : fd_(fd), consumed_(offset), limit_(limit), buffer_(buffer) {}

  // Calls onLine(std::string_view line, bool cut) for every complete line;
  // for a last line without its line end only when lastLineComplete.
  template <class OnLine>
  void forEachLine(bool lastLineComplete, OnLine&& onLine) {
    std::int64_t chunkStart = consumed_;
    bool afterCr = false;  // the line in pending_ ended at a CR that closed the previous chunk
    for (;;) {
      const auto wanted = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(buffer_.size()), limit_ - chunkStart));
      const ssize_t got = wanted == 0 ? 0 : ::pread(fd_, buffer_.data(), wanted, chunkStart);
      if (got < 0) {
        if (errno == EINTR) continue;
        fail();
      }
      if (got == 0) break;
      const char* p = buffer_.data();
      const char* end = p + got;
      auto offsetOf = [&](const char* at) { return chunkStart + (at - buffer_.data()); };
      if (afterCr) {
        afterCr = false;
        if (*p == '\n') ++p;
        deliver(std::string_view(), offsetOf(p), onLine);
      }
      while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* stop = lf ? lf : end;
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(stop - p)));
        const char* lineEnd = cr ? cr : lf;
        if (!lineEnd || (*lineEnd == '\r' && lineEnd + 1 == end)) {
          // The line runs past the chunk, or its CR closes it: the next read tells.
          afterCr = lineEnd != nullptr;
          carry(std::string_view(p, static_cast<std::size_t>((lineEnd ? lineEnd : end) - p)));
          break;
        }
        const std::string_view piece(p, static_cast<std::size_t>(lineEnd - p));
        p = lineEnd + 1;
        if (*lineEnd == '\r' && *p == '\n') ++p;
        deliver(piece, offsetOf(p), onLine);
      }
      chunkStart += got;
    }
    if (lastLineComplete && (afterCr || !pending_.empty() || cut_)) deliver(std::string_view(), chunkStart, onLine);
  }

  // The offset just after the last line given to onLine.
  std::int64_t consumed() const { return consumed_; }

 private:
  [[noreturn]] static void fail() {
    throw std::system_error(errno, std::generic_category(), "cannot read the trace file");
  }

  template <class OnLine>
  void deliver(std::string_view piece, std::int64_t endOffset, OnLine& onLine) {
    if (pending_.empty() && !cut_) {
      onLine(piece, false);
    } else {
      carry(piece);
      onLine(std::string_view(pending_), cut_);
      pending_.clear();
      cut_ = false;
    }
    consumed_ = endOffset;
  }

  void carry(std::string_view piece) {
    if (pending_.size() + piece.size() <= kMaximumTraceLineBytes) {
      pending_.append(piece);
      return;
    }
    cut_ = true;
    if (piece.size() >= kMaximumTraceLineBytes) {
      pending_.assign(piece.substr(piece.size() - kMaximumTraceLineBytes));
    } else {
      pending_.erase(0, pending_.size() + piece.size() - kMaximumTraceLineBytes);
      pending_.append(piece);
    }
  }

  int fd_;
  std::int64_t consumed_;
  std::int64_t limit_;
  std::vector<char>& buffer_;
  std::string pending_;  // the start of a line that runs past the chunk
  bool cut_ = false;     // the pending line lost its start
};

struct FileDescriptor {
  int fd = -1;
  ~FileDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// What a run learns of a file before reading its lines.
struct FileStart {
  std::int64_t size = -1;  // -1: the file could not be examined
  DateTime modified;
  std::string head;  // the first kTraceFileHeadBytes bytes, or fewer
};

FileStart readFileStart(int fd) {
  FileStart start;
  struct stat info {};
  if (::fstat(fd, &info) != 0) return start;
  start.head.resize(kTraceFileHeadBytes);
  ssize_t got;
  do got = ::pread(fd, start.head.data(), start.head.size(), 0);
  while (got < 0 && errno == EINTR);
  if (got < 0) return start;
  start.head.resize(static_cast<std::size_t>(got));
  start.size = info.st_size;
  start.modified = DateTime::fromTimeT(info.st_mtim.tv_sec);
  return start;
}

}  // namespace

struct TraceLineCutter::Pattern {
  pcre2_code* code = nullptr;
  pcre2_match_data* match = nullptr;

  Pattern() {
    int error = 0;
    PCRE2_SIZE offset = 0;
    // "." stops only at LF, whatever newline convention the library was built
    // with, so bytes such as 0x85 or a form feed inside a line stay matchable.
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (!context) throw std::bad_alloc();
    pcre2_set_newline(context, PCRE2_NEWLINE_LF);
    code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kTracePattern), PCRE2_ZERO_TERMINATED, 0, &error, &offset, context);
    pcre2_compile_context_free(context);
    if (!code) {
      PCRE2_UCHAR text[256];
      pcre2_get_error_message(error, text, sizeof text);
      throw std::logic_error(std::string("trace pattern: ") + reinterpret_cast<const char*>(text));
    }
    // Without JIT support the interpreter gives the same matches, only slower.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    match = pcre2_match_data_create_from_pattern(code, nullptr);
    if (!match) {
      pcre2_code_free(code);
      throw std::bad_alloc();
    }
  }
  ~Pattern() {
    pcre2_match_data_free(match);
    pcre2_code_free(code);
  }
};

TraceLineCutter::TraceLineCutter() : pattern_(std::make_unique<Pattern>()) {}
TraceLineCutter::~TraceLineCutter() = default;

TraceLineCut TraceLineCutter::cut(std::string_view line, CCallEvent& event) {
  const std::size_t subjectEnd = endOfLastLineMarker(line);
  if (subjectEnd == kNone) return TraceLineCut::NoEvent;
  const int rc = pcre2_match(pattern_->code, reinterpret_cast<PCRE2_SPTR>(line.data()), subjectEnd, 0, 0,
                             pattern_->match, nullptr);
  if (rc == PCRE2_ERROR_NOMATCH) return TraceLineCut::NoEvent;
  if (rc < 0) return TraceLineCut::NotConverted;  // a resource limit of the engine: the line is not read
  const std::string_view m = line.substr(pcre2_get_ovector_pointer(pattern_->match)[0]);

  // Fields stand at fixed character positions of the match.  The first 24
  // characters are ASCII by the pattern; from there a character is one byte
  // of Windows-1252 or one UTF-8 sequence.
  constexpr std::size_t kPositions = 44;
  std::size_t at[kPositions];
  const bool utf8 = isValidUtf8(m);
  for (std::size_t k = 0, b = 0; k < kPositions; ++k) {
    at[k] = b < m.size() ? b : kNone;
    if (b < m.size()) b += utf8 ? utf8SequenceLength(static_cast<unsigned char>(m[b])) : 1;
  }
  auto charIs = [&](std::size_t k, char c) { return at[k] != kNone && m[at[k]] == c; };
  auto digitAt = [&](std::size_t k) { return at[k] != kNone && isDigit(m[at[k]]); };

  const auto stamp = DateTime::fromFields(digitsAt(m, 0, 4), digitsAt(m, 5, 2), digitsAt(m, 8, 2), digitsAt(m, 11, 2),
                                          digitsAt(m, 14, 2), digitsAt(m, 17, 2));
  if (!stamp) return TraceLineCut::NotConverted;
  const int milliseconds = digitsAt(m, 20, 3);

  // "Line ##" at characters 34-40 means a two-digit line number.
  int lineNumber = 0;
  std::size_t textStart = 0;
  if (charIs(33, 'L') && charIs(34, 'i') && charIs(35, 'n') && charIs(36, 'e') && charIs(37, ' ') && digitAt(38) &&
      digitAt(39)) {
    lineNumber = (m[at[38]] - '0') * 10 + (m[at[39]] - '0');
    textStart = 42;
  } else {
    if (!digitAt(38)) return TraceLineCut::NotConverted;
    lineNumber = m[at[38]] - '0';
    textStart = 41;
  }

  event.dateTimeStamp = *stamp;
  event.intMilliseconds = milliseconds;
  event.intLine = lineNumber;
  event.strData.clear();
  if (at[textStart] != kNone) appendTraceText(m.substr(at[textStart]), event.strData);
  trimBlanks(event.strData);
  event.strData.resize(utf8PrefixBytes(event.strData, kMaximumEventTextCharacters));
  return TraceLineCut::Event;
}

bool parseTraceLine(std::string_view line, CCallEvent& event) {
  thread_local TraceLineCutter cutter;
  return cutter.cut(line, event) == TraceLineCut::Event;
}

int openTraceFile(Program& program, const fs::path& path) {
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
  FileDescriptor file;
  file.fd = program.openTraceFile ? program.openTraceFile(path, kFlags) : ::open(path.c_str(), kFlags);
  if (file.fd < 0)
    throw fs::filesystem_error("cannot open the trace file", path, std::error_code(errno, std::generic_category()));
  struct stat info {};
  if (::fstat(file.fd, &info) != 0)
    throw fs::filesystem_error("cannot examine the trace file", path, std::error_code(errno, std::generic_category()));
  if (!S_ISREG(info.st_mode))
    throw HandledError(error_number::kPathFileAccess, path.filename().string() + " is not a regular file, not read");
  return std::exchange(file.fd, -1);
}

bool hasUnreadTraceLines(Program& program, const fs::path& path, bool lastLineComplete) {
  FileDescriptor file;
  if (!guardWith([&] { file.fd = openTraceFile(program, path); }, ignoreFailure)) return true;
  const FileStart start = readFileStart(file.fd);
  if (start.size < 0) return true;
  const std::optional<TraceReadPosition> position = loadTraceReadPosition(program.db, traceReadPositionKey(path));
  const std::int64_t from = resumeOffset(position, start.head, start.size);
  if (from >= start.size) return false;
  // A file read from its start gets a read position even before its first
  // line end, so that a line the gateway never ends can be judged.
  if (lastLineComplete || (from == 0 && !(position && position->offset == 0))) return true;
  // A line end, other than a CR that is the last byte, completes a line.
  char buffer[1 << 16];
  for (std::int64_t at = from; at < start.size;) {
    const ssize_t got = ::pread(file.fd, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got < 0;
    const std::int64_t last = start.size - 1 - at;  // index of the file's last byte in buffer
    for (ssize_t i = 0; i < got; ++i)
      if (buffer[i] == '\n' || (buffer[i] == '\r' && i != last)) return true;
    at += got;
  }
  return false;
}

namespace {

using EventStamp = std::pair<DateTime, int>;  // time and milliseconds

// The stamp of the first event among a file's complete lines up to upTo; or,
// with lastLine, of the file's last line read whole, ended or not.  nullopt
// when there is no such event or the file cannot be read.
std::optional<EventStamp> eventStamp(int fd, std::int64_t upTo, bool lastLine, TraceLineCutter& cutter) {
  std::optional<EventStamp> stamp;
  std::vector<char> buffer(1 << 14);
  std::string last;
  CCallEvent event;
  const auto take = [&](std::string_view line) {
    if (cutter.cut(line, event) == TraceLineCut::Event) stamp.emplace(event.dateTimeStamp, event.intMilliseconds);
  };
  guardWith(
      [&] {
        LineReader(fd, 0, buffer, upTo).forEachLine(lastLine, [&](std::string_view line, bool) {
          if (lastLine)
            last.assign(line);
          else if (!stamp)
            take(line);
        });
        if (lastLine) take(last);
      },
      ignoreFailure);
  return stamp;
}

// The stamp of a trace file's first event, from its first complete lines.
std::optional<EventStamp> firstTraceEvent(Program& program, const fs::path& path, TraceLineCutter& cutter) {
  constexpr std::int64_t kLookedAt = 1 << 16;
  FileDescriptor file;
  if (!guardWith([&] { file.fd = openTraceFile(program, path); }, ignoreFailure)) return std::nullopt;
  return eventStamp(file.fd, kLookedAt, false, cutter);
}

}  // namespace

std::vector<bool> finishedTraceFiles(Program& program, const std::vector<fs::path>& files, bool noteSizes) {
  std::vector<bool> finished(files.size(), false);
  std::optional<TraceLineCutter> cutter;  // compiled only when a file waits for the judgement
  std::vector<std::optional<std::optional<EventStamp>>> firstEvents(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string key = traceReadPositionKey(files[i]);
    const std::optional<TraceReadPosition> position = loadTraceReadPosition(program.db, key);
    if (!position) continue;
    FileDescriptor file;
    if (!guardWith([&] { file.fd = openTraceFile(program, files[i]); }, ignoreFailure)) continue;
    const FileStart start = readFileStart(file.fd);
    // Nothing past the last complete line, or another file under the name.
    if (start.size <= position->offset || resumeOffset(position, start.head, start.size) != position->offset) continue;
    // A database busy with the other program only delays the judgement.
    if (noteSizes && position->seenSize != start.size)
      guardWith([&] { noteTraceFileSize(program.db, key, start.size); }, ignoreFailure);
    if (position->seenSize != start.size) continue;
    if (!cutter) cutter.emplace();
    EventStamp last(position->lastTime, position->lastMilliseconds);
    // A file held at its start has no line read: its unended line's own
    // stamp stands in, and a line without one waits.
    if (position->offset == 0) {
      const std::optional<EventStamp> own = eventStamp(file.fd, start.size, true, *cutter);
      if (!own) continue;
      last = *own;
    }
    // Only a file after this one in name order shows that the gateway moved
    // on: an earlier file can begin after this line when the clock was set
    // back between the two.
    for (std::size_t j = i + 1; j < files.size() && !finished[i]; ++j) {
      if (!firstEvents[j]) firstEvents[j] = firstTraceEvent(program, files[j], *cutter);
      finished[i] = *firstEvents[j] && **firstEvents[j] > last;
    }
  }
  return finished;
}

namespace {

// What a file's lines did wrong, reported together once its events are stored.
struct FileProblems {
  std::int64_t notConverted = 0;  // lines whose date or line number do not convert
  std::int64_t cutLines = 0;      // lines read from their last kMaximumTraceLineBytes bytes
  std::int64_t future = 0;        // lines stamped after the run's future limit
};

// The one reporter of a file's problems.  Every report is one handled error,
// and a run ends at its handled-error limit, so a file spends at most two of
// that budget however many of its lines fail: one for the lines not read as
// written, one for the lines from the future.
void reportFileProblems(Program& program, const FileProblems& problems, const std::string& name) {
  if (problems.notConverted > 0 || problems.cutLines > 0) {
    std::string description;
    if (problems.notConverted > 0) {
      const bool one = problems.notConverted == 1;
      description = "Type mismatch: " + countOf(problems.notConverted, "trace line", "trace lines") + " of " + name +
                    (one ? " does" : " do") + " not convert and " + (one ? "was" : "were") + " not stored";
    }
    if (problems.cutLines > 0) {
      const bool one = problems.cutLines == 1;
      if (!description.empty()) description += "; ";
      description += countOf(problems.cutLines, "line", "lines") + " of " + name + " longer than " +
                     std::to_string(kMaximumTraceLineBytes) + " bytes " + (one ? "was" : "were") + " read from " +
                     (one ? "its" : "their") + " last " + std::to_string(kMaximumTraceLineBytes) + " bytes";
    }
    handleError(program, HandledError(error_number::kTypeMismatch, description), kProcedure);
  }
  if (problems.future > 0) {
    const bool one = problems.future == 1;
    handleError(program,
                HandledError(error_number::kInvalidProcedureCall,
                             countOf(problems.future, "trace line", "trace lines") + " of " + name +
                                 (one ? " is" : " are") + " stamped more than a day after the program's clock and " +
                                 (one ? "was" : "were") + " not stored"),
                kProcedure);
  }
}

// The last event a file stored: an event of the same time and millisecond
// takes the next sequence number.  A new file starts without one.
struct LastStored {
  bool set = false;
  DateTime time;
  int milliseconds = 0;
};

// Finds how often a file held an event up to the line being read, and
// whether the events table holds it that often already (a copy of a file, an
// export, a tie with the last run).  In a file whose stamps never step back
// an event's earlier occurrences lie in the run of lines of its millisecond;
// once the stamps step back, the whole file read so far is counted.
class DuplicateFinder {
 public:
  DuplicateFinder(TraceLogRun& run, int fd) : run_(run), fd_(fd) {}

  // Takes up the millisecond and the step-back of the recorded read position.
  void resume(const TraceReadPosition& recorded) {
    millisecondTime_ = recorded.lastTime;
    millisecond_ = recorded.lastMilliseconds;
    steppedBack_ = recorded.steppedBack;
    auto& events = run_.millisecondEvents;
    events.resize(std::max(events.size(), recorded.lastMillisecondEvents.size()));
    for (const auto& event : recorded.lastMillisecondEvents) events[millisecondCount_++] = event;
  }

  // Notes an event read; returns how often the file held it up to here.
  std::int64_t read(const CCallEvent& event) {
    if (millisecond_ >= 0 && (event.dateTimeStamp < millisecondTime_ ||
                              (event.dateTimeStamp == millisecondTime_ && event.intMilliseconds < millisecond_)))
      steppedBack_ = true;
    if (event.intMilliseconds != millisecond_ || event.dateTimeStamp != millisecondTime_) {
      millisecondTime_ = event.dateTimeStamp;
      millisecond_ = event.intMilliseconds;
      millisecondCount_ = 0;
    }
    auto& events = run_.millisecondEvents;
    std::int64_t occurrences = 1;
    for (std::size_t i = 0; i < millisecondCount_; ++i)
      if (events[i].first == event.intLine && events[i].second == event.strData) ++occurrences;
    if (millisecondCount_ == events.size()) events.emplace_back();
    events[millisecondCount_].first = event.intLine;
    events[millisecondCount_++].second.assign(event.strData);
    if (counted_) occurrences = ++fileCounts_[keyOf(event)];
    return occurrences;
  }

  // Whether an event not later than the newest stored one is stored already
  // as often as the file held it; readUpTo is the start of its line.
  bool storedAlready(const CCallEvent& event, std::int64_t occurrences, std::string_view stampText,
                     std::int64_t readUpTo) {
    if (steppedBack_ && !counted_) {
      countFile(readUpTo);
      occurrences = ++fileCounts_[keyOf(event)];
    }
    run_.countEvent.bind(1, event.intLine)
        .bindStatic(2, stampText)
        .bind(3, event.intMilliseconds)
        .bindStatic(4, std::string_view(event.strData));
    run_.countEvent.step();
    const std::int64_t stored = run_.countEvent.getInt(0);
    run_.countEvent.reset();
    return stored >= occurrences;
  }

  void saveInto(TraceReadPosition& position) const {
    position.lastTime = millisecondTime_;
    position.lastMilliseconds = millisecond_;
    position.steppedBack = steppedBack_;
    const auto& events = run_.millisecondEvents;
    position.lastMillisecondEvents.assign(events.begin(),
                                          events.begin() + static_cast<std::ptrdiff_t>(millisecondCount_));
  }

 private:
  // An event counted by its time, milliseconds, line and text.
  const std::string& keyOf(const CCallEvent& event) {
    char stamp[19];
    key_.assign(storedForm(event.dateTimeStamp, stamp));
    key_ += '.' + std::to_string(event.intMilliseconds) + ' ' + std::to_string(event.intLine) + ' ';
    key_ += event.strData;
    return key_;
  }

  void countFile(std::int64_t upTo) {
    std::vector<char> buffer(1 << 16);
    CCallEvent event;
    LineReader(fd_, 0, buffer, upTo).forEachLine(true, [&](std::string_view line, bool) {
      if (run_.cutter.cut(line, event) == TraceLineCut::Event) ++fileCounts_[keyOf(event)];
    });
    counted_ = true;
  }

  TraceLogRun& run_;
  int fd_;
  // The events read so far in the millisecond of the last trace line.
  DateTime millisecondTime_;
  int millisecond_ = -1;
  std::size_t millisecondCount_ = 0;
  bool steppedBack_ = false;
  // Once needed in a file that stepped back: every event of the file read so far.
  std::unordered_map<std::string, std::int64_t> fileCounts_;
  bool counted_ = false;
  std::string key_;
};

void prepareEventStatements(Program& program, TraceLogRun& run) {
  if (run.insertEvent.valid()) return;
  run.insertEvent = program.db.prepare(
      "insert into Events (Timestamp, Milliseconds, Sequence, Line, Data) values (?1, ?2, ?3, ?4, ?5)");
  run.countEvent = program.db.prepare(
      "select count(*) from Events where Line = ?1 and Timestamp = ?2 and Milliseconds = ?3 and Data = ?4");
  run.arrivals.prepare(program.db);
}

// The reading of one file's new lines, inside the file's transaction.
class FileReading {
 public:
  FileReading(Program& program, TraceLogRun& run, const FileStart& start, int fd, const std::string& key)
      : program_(program), run_(run), start_(start), fd_(fd), key_(key), duplicates_(run, fd) {}

  FileProblems problems;
  std::int64_t stored = 0;
  bool read = false;  // complete lines were read

  void run(bool lastLineComplete) {
    prepareEventStatements(program_, run_);
    run_.earliestStored.assign(100, {});
    const std::optional<TraceReadPosition> recorded = loadTraceReadPosition(program_.db, key_);
    const std::int64_t from = resumeOffset(recorded, start_.head, start_.size);
    const bool resumed = from > 0;
    if (resumed) resume(*recorded);

    std::vector<char> buffer(1 << 16);
    LineReader reader(fd_, from, buffer);
    std::int64_t linesRead = 0;
    reader.forEachLine(lastLineComplete, [&](std::string_view line, bool cut) {
      // A long file is a place where a stop request is honoured; this file's events then roll back.
      if (++linesRead % kLinesBetweenStopChecks == 0) program_.host.honourStop();
      if (cut) ++problems.cutLines;
      switch (run_.cutter.cut(line, run_.currentEvent)) {
        case TraceLineCut::NoEvent: return;
        case TraceLineCut::NotConverted: ++problems.notConverted; return;
        case TraceLineCut::Event: break;
      }
      takeEvent(reader.consumed());
    });
    noteArrivals();

    const std::int64_t consumed = reader.consumed();
    read = consumed > from;
    // A file without a complete line yet (new, or put in the place of
    // another) is held at its start with the size seen, for the judgement of
    // its line (finishedTraceFiles).
    if (read || !resumed) savePosition(consumed);
  }

 private:
  // The resume state: the sequence, the last stored event and the duplicate
  // finder's millisecond go on from where the previous run left the file.
  void resume(const TraceReadPosition& recorded) {
    run_.currentEvent.lngSequence = recorded.sequence;
    if (recorded.lastStored) {
      last_.set = true;
      std::tie(last_.time, last_.milliseconds) = *recorded.lastStored;
    }
    duplicates_.resume(recorded);
  }

  // One event read; lineStart is the offset of its line.
  void takeEvent(std::int64_t lineStart) {
    CCallEvent& current = run_.currentEvent;
    if (last_.set && current.dateTimeStamp == last_.time && current.intMilliseconds == last_.milliseconds)
      current.lngSequence += 1;
    else
      current.lngSequence = 1;
    if (current.intLine > program_.highestLineNumber) program_.highestLineNumber = current.intLine;
    const std::int64_t occurrences = duplicates_.read(current);
    if (run_.futureLimit && current.dateTimeStamp > *run_.futureLimit) {
      ++problems.future;
      return;
    }
    if (current.dateTimeStamp < run_.retentionCutoff ||
        (current.dateTimeStamp == run_.retentionCutoff && current.intMilliseconds == 0))
      return;
    char stamp[19];
    const std::string_view stampText = storedForm(current.dateTimeStamp, stamp);
    const bool newer =
        current.dateTimeStamp > run_.lastEventTime ||
        (current.dateTimeStamp == run_.lastEventTime && current.intMilliseconds > run_.lastEventMilliseconds);
    if (newer) {
      run_.lastEventTime = current.dateTimeStamp;
      run_.lastEventMilliseconds = current.intMilliseconds;
    } else if (duplicates_.storedAlready(current, occurrences, stampText, lineStart)) {
      return;
    }
    store(current, stampText);
  }

  void store(const CCallEvent& event, std::string_view stampText) {
    last_ = {true, event.dateTimeStamp, event.intMilliseconds};
    // Both texts stay in place until run() has reset the statement.
    run_.insertEvent.bindStatic(1, stampText)
        .bind(2, event.intMilliseconds)
        .bind(3, static_cast<std::int64_t>(event.lngSequence))
        .bind(4, event.intLine)
        .bindStatic(5, std::string_view(event.strData))
        .run();
    ++stored;
    TraceLogRun::Earliest& earliest = run_.earliestStored[static_cast<std::size_t>(event.intLine)];
    if (!earliest.set || std::tie(event.dateTimeStamp, event.intMilliseconds, event.lngSequence) <
                             std::tie(earliest.time, earliest.milliseconds, earliest.sequence))
      earliest = {true, event.dateTimeStamp, event.intMilliseconds, event.lngSequence};
  }

  // The walk learns of the stored events with them, late ones included.
  void noteArrivals() {
    for (std::size_t line = 1; line < run_.earliestStored.size(); ++line) {
      const TraceLogRun::Earliest& earliest = run_.earliestStored[line];
      if (earliest.set)
        run_.arrivals.note(static_cast<int>(line),
                           EventInstant{earliest.time.toStored(), earliest.milliseconds, earliest.sequence});
    }
  }

  void savePosition(std::int64_t consumed) {
    TraceReadPosition position;
    position.head =
        start_.head.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(consumed, kTraceFileHeadBytes)));
    position.offset = consumed;
    position.modified = start_.modified;
    position.sequence = run_.currentEvent.lngSequence;
    if (last_.set) position.lastStored.emplace(last_.time, last_.milliseconds);
    duplicates_.saveInto(position);
    position.seenSize = start_.size;
    saveTraceReadPosition(program_.db, key_, position);
  }

  Program& program_;
  TraceLogRun& run_;
  const FileStart& start_;
  int fd_;
  const std::string& key_;
  LastStored last_;
  DuplicateFinder duplicates_;
};

}  // namespace

LogFileResult ProcessLogFile(Program& program, const fs::path& path, TraceLogRun& run, bool lastLineComplete) {
  const std::string key = traceReadPositionKey(path);
  // An unreadable file is reported once, not again by every run until it can be read.
  auto unreadable = [&](const HandledError& error) {
    if (program.unreadableTraceFiles.insert(key).second) handleError(program, error, kProcedure);
    return LogFileResult::NotRead;
  };
  FileDescriptor file;
  FileStart start;
  std::optional<HandledError> failure;
  const auto keep = [&](const HandledError& error) { failure = error; };
  if (!guardWith(
          [&] {
            file.fd = openTraceFile(program, path);
            start = readFileStart(file.fd);
            if (start.size < 0)
              throw fs::filesystem_error("cannot read the trace file", path,
                                         std::error_code(errno, std::generic_category()));
          },
          keep))
    return unreadable(*failure);

  FileReading reading(program, run, start, file.fd, key);
  guardWith(
      [&] {
        db::Transaction transaction(program.db);
        reading.run(lastLineComplete);
        transaction.commit();
      },
      keep);
  if (failure) {
    // The transaction is rolled back by now; reporting may yield.
    if (!isDatabaseError(*failure)) return unreadable(*failure);
    handleError(program, *failure, kProcedure);
    return LogFileResult::NotStored;
  }
  program.unreadableTraceFiles.erase(key);
  run.storedEvents += reading.stored;
  if (reading.read) ++run.filesRead;
  reportFileProblems(program, reading.problems, path.filename().string());
  return LogFileResult::Parsed;
}

}  // namespace travik

#include "processing/trace_log_parser.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <fcntl.h>
#include <pcre2.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "processing/error_handling.h"
#include "processing/trace_text.h"

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

// Reads a trace file line by line through one bounded buffer.  A line ends at
// CR LF, LF or a lone CR.  A line longer than kMaximumTraceLineBytes keeps its
// last kMaximumTraceLineBytes bytes.
class LineReader {
 public:
  LineReader(int fd, std::vector<char>& buffer) : fd_(fd), buffer_(buffer) {}

  // Calls onLine(std::string_view line, bool cut) for every line.
  template <class OnLine>
  void forEachLine(OnLine&& onLine) {
    bool skipLineFeed = false;  // a CR ended the previous chunk's last line
    for (;;) {
      const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
      if (got < 0) {
        if (errno == EINTR) continue;
        throw std::system_error(errno, std::generic_category(), "cannot read the trace file");
      }
      if (got == 0) break;
      const char* p = buffer_.data();
      const char* end = p + got;
      if (skipLineFeed && *p == '\n') ++p;
      skipLineFeed = false;
      while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* stop = lf ? lf : end;
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(stop - p)));
        const char* lineEnd = cr ? cr : lf;
        if (!lineEnd) {
          carry(std::string_view(p, static_cast<std::size_t>(end - p)));
          break;
        }
        const std::string_view piece(p, static_cast<std::size_t>(lineEnd - p));
        if (pending_.empty() && !cut_) {
          onLine(piece, false);
        } else {
          carry(piece);
          onLine(std::string_view(pending_), cut_);
          pending_.clear();
          cut_ = false;
        }
        p = lineEnd + 1;
        if (*lineEnd == '\r') {
          if (p < end && *p == '\n')
            ++p;
          else if (p == end)
            skipLineFeed = true;
        }
      }
    }
    if (!pending_.empty() || cut_) onLine(std::string_view(pending_), cut_);
  }

 private:
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

LogFileResult ProcessLogFile(Program& program, const fs::path& path, TraceLogRun& run) {
  FileDescriptor file;
  if (!guard(program, kProcedure, [&] {
        file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (file.fd < 0)
          throw fs::filesystem_error("cannot open the trace file", path,
                                     std::error_code(errno, std::generic_category()));
      }))
    return LogFileResult::NotRead;

  std::int64_t notConverted = 0;
  std::int64_t cutLines = 0;
  std::int64_t stored = 0;
  bool databaseFailed = false;
  std::optional<HandledError> failure;
  try {
    db::Transaction transaction(program.db);
    if (!run.insertEvent.valid())
      run.insertEvent = program.db.prepare(
          "insert into Events (Timestamp, Milliseconds, Sequence, Line, Data) values (?1, ?2, ?3, ?4, ?5)");

    std::vector<char> buffer(1 << 16);
    CCallEvent& current = run.currentEvent;
    // The last event this file stored; a new file starts without one.
    bool previousSet = false;
    DateTime previousTime;
    int previousMilliseconds = 0;
    char stamp[19];

    std::int64_t linesRead = 0;
    LineReader(file.fd, buffer).forEachLine([&](std::string_view line, bool cut) {
      // A long file is a place where a stop request is honoured; this file's events then roll back.
      if (++linesRead % kLinesBetweenStopChecks == 0) program.host.honourStop();
      if (cut) ++cutLines;
      switch (run.cutter.cut(line, current)) {
        case TraceLineCut::NoEvent: return;
        case TraceLineCut::NotConverted: ++notConverted; return;
        case TraceLineCut::Event: break;
      }
      if (previousSet && current.dateTimeStamp == previousTime && current.intMilliseconds == previousMilliseconds)
        current.lngSequence += 1;
      else
        current.lngSequence = 1;
      if (current.intLine > program.highestLineNumber) program.highestLineNumber = current.intLine;
      const bool newer =
          current.dateTimeStamp > run.lastEventTime ||
          (current.dateTimeStamp == run.lastEventTime && current.intMilliseconds > run.lastEventMilliseconds);
      if (!newer) return;
      previousSet = true;
      previousTime = current.dateTimeStamp;
      previousMilliseconds = current.intMilliseconds;
      // Both texts stay in place until run() has reset the statement.
      run.insertEvent.bindStatic(1, storedForm(current.dateTimeStamp, stamp))
          .bind(2, current.intMilliseconds)
          .bind(3, static_cast<std::int64_t>(current.lngSequence))
          .bind(4, current.intLine)
          .bindStatic(5, std::string_view(current.strData))
          .run();
      ++stored;
    });
    transaction.commit();
  } catch (const ProgramEnded&) {
    throw;
  } catch (const db::DbError&) {
    databaseFailed = true;
    failure = currentHandledError();
  } catch (...) {
    failure = currentHandledError();
  }
  if (failure) {
    // The transaction is rolled back by now; reporting may yield.
    handleError(program, *failure, kProcedure);
    return databaseFailed ? LogFileResult::NotStored : LogFileResult::NotRead;
  }
  run.storedEvents += stored;

  if (notConverted > 0 || cutLines > 0) {
    const std::string name = path.filename().string();
    std::string description;
    if (notConverted > 0)
      description = "Type mismatch: " + countOf(notConverted, "trace line", "trace lines") + " of " + name +
                    (notConverted == 1 ? " does" : " do") + " not convert and " + (notConverted == 1 ? "was" : "were") +
                    " not stored";
    if (cutLines > 0) {
      if (!description.empty()) description += "; ";
      description += countOf(cutLines, "line", "lines") + " of " + name + " longer than " +
                     std::to_string(kMaximumTraceLineBytes) + " bytes " + (cutLines == 1 ? "was" : "were") +
                     " read from " + (cutLines == 1 ? "its" : "their") + " last " +
                     std::to_string(kMaximumTraceLineBytes) + " bytes";
    }
    handleError(program, HandledError(error_number::kTypeMismatch, description), kProcedure);
  }
  return LogFileResult::Parsed;
}

}  // namespace travik

#include "bench/traffic_trace_writer.h"

#include <cstring>
#include <optional>
#include <stdexcept>

#include "processing/runtime/file_times.h"
#include "processing/text/date_time.h"

namespace travik::traffic {

namespace fs = std::filesystem;

namespace {

// The text before the time stamp, as in the gateway's own lines.
constexpr std::string_view kPrefix = " MVLOG 0000 0000 ";

std::string gatewayTime(std::int64_t second) {
  const DateTime t = DateTime::fromSerialSeconds(second);
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d-%02d:%02d:%02d", t.year(), t.month(), t.day(), t.hour(), t.minute(),
                t.second());
  return text;
}

// The thread field: each line's channel has its own thread.
std::string threadField(int line) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", 0x00000A00u + static_cast<unsigned>(line) * 0x14u);
  return text;
}

// Starts a line anew with its prefix and its time stamp to the millisecond.
void startLine(std::string& out, std::string_view stamp, Millis time) {
  const int ms = static_cast<int>(time % 1000);
  out.assign(kPrefix);
  out += stamp;
  out += '.';
  out += static_cast<char>('0' + ms / 100);
  out += static_cast<char>('0' + ms / 10 % 10);
  out += static_cast<char>('0' + ms % 10);
}

void appendEventLine(std::string& out, std::string_view stamp, Millis time, int line, std::string_view text) {
  startLine(out, stamp, time);
  out += ' ';
  out += threadField(line);
  out += " Line ";
  out += std::to_string(line);
  out += ": ";
  out += toGatewayCodePage(text);
  out += " \r\n";
}

}  // namespace

std::string toGatewayCodePage(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i + 1]);
      out += static_cast<char>(((c & 0x03u) << 6) | (next & 0x3Fu));
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string traceLine(Millis time, int line, std::string_view text) {
  std::string out;
  appendEventLine(out, gatewayTime(time / 1000), time, line, text);
  return out;
}

std::string traceFileName(Millis firstLine) {
  const DateTime t = DateTime::fromSerialSeconds(firstLine / 1000);
  char text[40];
  std::snprintf(text, sizeof text, "MVLOG.%04d%02d%02d.%02d%02d%02d.log", t.year(), t.month(), t.day(), t.hour(),
                t.minute(), t.second());
  return text;
}

Millis traceLineTime(std::string_view line) {
  // "YYYY/MM/DD-HH:MM:SS.mmm" right after the prefix.
  constexpr std::size_t at = kPrefix.size();
  int field[7] = {};
  constexpr std::size_t offsets[7] = {0, 5, 8, 11, 14, 17, 20};
  constexpr std::size_t widths[7] = {4, 2, 2, 2, 2, 2, 3};
  bool good = line.size() >= at + 23 && line.substr(0, at) == kPrefix;
  for (int i = 0; good && i < 7; ++i)
    for (std::size_t k = 0; good && k < widths[i]; ++k) {
      const char c = line[at + offsets[i] + k];
      good = c >= '0' && c <= '9';
      field[i] = field[i] * 10 + (c - '0');
    }
  const auto when = good ? DateTime::fromFields(field[0], field[1], field[2], field[3], field[4], field[5])
                         : std::optional<DateTime>();
  if (!when) throw std::runtime_error("not a trace line: " + std::string(line.substr(0, 64)));
  return when->serialSeconds() * 1000 + field[6];
}

TraceWriter::TraceWriter(fs::path folder, std::uint64_t maxFileBytes, bool rollOverAnywhere)
    : folder_(std::move(folder)), maxFileBytes_(maxFileBytes), rollOverAnywhere_(rollOverAnywhere), buffer_(1 << 20) {}

TraceWriter::~TraceWriter() {
  if (file_) std::fclose(file_);
}

const std::string& TraceWriter::stamp(Millis time) {
  const std::int64_t second = time / 1000;
  if (second != stampSecond_) {
    stampSecond_ = second;
    stampText_ = gatewayTime(second);
  }
  return stampText_;
}

void TraceWriter::writeEvent(Millis time, int line, std::string_view text, bool mayBreak) {
  appendEventLine(line_, stamp(time + shift_), time + shift_, line, text);
  append(time, line_, mayBreak);
}

void TraceWriter::writeNotice(Millis time, std::string_view text, bool mayBreak) {
  startLine(line_, stamp(time + shift_), time + shift_);
  line_ += " 00000F2C ";
  line_ += text;
  line_ += " \r\n";
  append(time, line_, mayBreak);
}

void TraceWriter::append(Millis time, const std::string& text, bool mayBreak) {
  const std::int64_t second = time / 1000;
  if (file_ && fileBytes_ >= maxFileBytes_ &&
      (rollOverAnywhere_ ? second > firstSecond_ : mayBreak && second > lastSecond_))
    closeFile();
  if (!file_) {
    const fs::path path = folder_ / traceFileName(time);
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw std::runtime_error("cannot create the trace file " + path.string() + ": " + std::strerror(errno));
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    files_.push_back(path);
    fileBytes_ = 0;
    firstSecond_ = second;
  }
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
    throw std::runtime_error("cannot write the trace file " + files_.back().string() + ": " + std::strerror(errno));
  fileBytes_ += text.size();
  lastSecond_ = second;
  lastStampSecond_ = (time + shift_) / 1000;
  ++lines_;
}

void TraceWriter::closeFile() {
  const bool failed = std::fclose(file_) != 0;
  file_ = nullptr;
  if (failed) throw std::runtime_error("cannot complete the trace file " + files_.back().string());
  // Set after closing: the last write would move the time again.
  setFileModificationTime(files_.back(), DateTime::fromSerialSeconds(lastStampSecond_));
}

void TraceWriter::finish() {
  if (file_) closeFile();
}

}  // namespace travik::traffic

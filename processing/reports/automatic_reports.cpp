#include "processing/reports/automatic_reports.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "processing/reports/call_reports.h"
#include "processing/reports/reports.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/event_log.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAutomaticKinds[] = {"AllCalls", "LineSummary", "OctelSummary", "RejectedRecipients"};

// A report of the kind: "TRAVIK-REPORT.<kind>." and then any text holding a
// point, as the pattern "TRAVIK-REPORT.<kind>.*.*" reads; letter case is
// ignored.
bool isReportOfKind(std::string_view fileName, std::string_view kind) {
  const std::string prefix = "TRAVIK-REPORT." + std::string(kind) + ".";
  if (fileName.size() < prefix.size() || strncasecmp(fileName.data(), prefix.data(), prefix.size()) != 0) return false;
  return fileName.substr(prefix.size()).find('.') != std::string_view::npos;
}

// A report of the kind, or the temporary file such a report left when its
// writer was killed (hidden: a leading point).
bool isReportOrLeftOver(std::string_view name, std::string_view kind) {
  return isReportOfKind(name, kind) || (name.size() > 1 && name[0] == '.' && isReportOfKind(name.substr(1), kind));
}

// A file as it stands: a file renamed over one of the same name is another file.
struct StandingFile {
  fs::path path;
  dev_t device = 0;
  ino_t inode = 0;
  bool hidden = false;
};

std::optional<StandingFile> standing(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return StandingFile{path, info.st_dev, info.st_ino, path.filename().string().front() == '.'};
}

std::vector<StandingFile> reportsOfKind(const fs::path& folder, std::string_view kind) {
  std::vector<StandingFile> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (isReportOrLeftOver(it->path().filename().string(), kind))
      if (auto file = standing(it->path())) files.push_back(*file);
  return files;
}

// The summaries are owed only when this run replaced their totals.
bool isOwed(std::string_view kind, SummaryReports replaced) {
  if (kind == "LineSummary") return replaced.lines;
  if (kind == "OctelSummary") return replaced.nodes;
  return true;
}

bool sameFile(const StandingFile& a, const StandingFile& b) { return a.device == b.device && a.inode == b.inode; }

void writeReportOfKind(Program& program, std::string_view kind) {
  if (kind == "AllCalls") reportAllCallsErrors(program);
  if (kind == "LineSummary") reportLineSummary(program, kLineSummarySelection);
  if (kind == "OctelSummary") reportOctelSummary(program, kOctelSummarySelection);
  if (kind == "RejectedRecipients") reportRejectedRecipients(program, kAutomaticRejectedRecipientsSelection);
}

}  // namespace

bool replaceAutomaticReports(Program& program, SummaryReports replaced) {
  const fs::path folder(program.settings.outputPath);
  bool all = true;
  for (const char* kind : kAutomaticKinds) {
    if (!isOwed(kind, replaced)) continue;
    const std::vector<StandingFile> earlier = reportsOfKind(folder, kind);
    program.lastErrorLine.clear();
    guard(program, "generateAutoReports()", [&] { writeReportOfKind(program, kind); });
    bool renewed = false;
    for (const StandingFile& file : reportsOfKind(folder, kind)) {
      const bool old = std::any_of(earlier.begin(), earlier.end(), [&](const auto& e) { return sameFile(e, file); });
      renewed = renewed || (!old && !file.hidden);
    }
    if (!renewed) {
      // The previous report stays, and the report stays owed to the next run.
      all = false;
      std::string line = program.lastErrorLine;
      if (line.empty()) {
        line = "The " + std::string(kind) + " report could not be written to " + folder.string() + ".";
        writeLog(program, line, true);
      }
      if (program.runningAsService) myEventLog(program, event_id::kServiceTimerError, 3, line);
      continue;
    }
    // Only the earlier files themselves go: one of the same second was
    // replaced by the new report's rename and is the new report now.
    std::error_code ec;
    for (const StandingFile& file : earlier) {
      const auto now = standing(file.path);
      if (now && sameFile(*now, file)) fs::remove(file.path, ec);
    }
  }
  return all;
}

}  // namespace travik

#include "processing/reports/automatic_reports.h"

#include <strings.h>

#include <filesystem>
#include <string>
#include <vector>

#include "processing/reports/call_reports.h"
#include "processing/reports/reports.h"
#include "processing/runtime/error_handling.h"

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

}  // namespace

void deleteOldReports(Program& program, SummaryReports replaced) {
  const fs::path folder(program.settings.outputPath);
  for (const char* kind : kAutomaticKinds) {
    if ((!replaced.lines && std::string_view(kind) == "LineSummary") ||
        (!replaced.nodes && std::string_view(kind) == "OctelSummary"))
      continue;
    // The matches are gathered first so that no deletion disturbs the listing.
    std::vector<fs::path> matches;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code entryError;
      const std::string name = it->path().filename().string();
      // A hidden one is the temporary file of a report whose writer was killed.
      const bool leftOver = name.size() > 1 && name[0] == '.' && isReportOfKind(std::string_view(name).substr(1), kind);
      if (it->is_regular_file(entryError) && (isReportOfKind(name, kind) || leftOver)) matches.push_back(it->path());
    }
    // A missing folder, or a file that is held open or may not be deleted, is
    // passed over without a word; the other files and kinds are still tried.
    for (const fs::path& file : matches) fs::remove(file, ec);
  }
}

void generateAutoReports(Program& program, SummaryReports replaced) {
  constexpr const char* kProcedure = "generateAutoReports()";
  guard(program, kProcedure, [&] { reportAllCallsErrors(program); });
  if (replaced.lines) guard(program, kProcedure, [&] { reportLineSummary(program, kLineSummarySelection); });
  if (replaced.nodes) guard(program, kProcedure, [&] { reportOctelSummary(program, kOctelSummarySelection); });
  guard(program, kProcedure, [&] { reportRejectedRecipients(program, kAutomaticRejectedRecipientsSelection); });
}

}  // namespace travik

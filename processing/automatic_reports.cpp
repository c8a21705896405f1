#include "processing/automatic_reports.h"

#include <strings.h>

#include <filesystem>
#include <string>

#include "processing/call_reports.h"
#include "processing/error_handling.h"
#include "processing/reports.h"

namespace travik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAutomaticKinds[] = {"AllCalls", "LineSummary", "OctelSummary", "RejectedRecipients"};

}  // namespace

bool isReportOfKind(std::string_view fileName, std::string_view kind) {
  const std::string prefix = "TRAVIK-REPORT." + std::string(kind) + ".";
  if (fileName.size() < prefix.size() || strncasecmp(fileName.data(), prefix.data(), prefix.size()) != 0) return false;
  return fileName.substr(prefix.size()).find('.') != std::string_view::npos;
}

void deleteOldReports(Program& program) {
  const fs::path folder(program.settings.outputPath);
  for (const char* kind : kAutomaticKinds) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) continue;  // a missing folder is passed over; the next kind is still tried
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      if (ec) break;
      std::error_code entryError;
      if (!it->is_regular_file(entryError)) continue;
      if (!isReportOfKind(it->path().filename().string(), kind)) continue;
      // A file another program holds or that we may not delete stays, silently.
      fs::remove(it->path(), entryError);
    }
  }
}

void generateAutoReports(Program& program) {
  constexpr const char* kProcedure = "generateAutoReports()";
  guard(program, kProcedure, [&] { reportAllCallsErrors(program); });
  guard(program, kProcedure, [&] { reportLineSummary(program, kLineSummarySelection); });
  guard(program, kProcedure, [&] { reportOctelSummary(program, kOctelSummarySelection); });
  guard(program, kProcedure, [&] { reportRejectedRecipients(program, kAutomaticRejectedRecipientsSelection); });
}

}  // namespace travik

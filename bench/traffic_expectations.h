// Compares what call reconstruction wrote with what the generator says it
// must write (traffic-summary.csv).
//
// Each generated call is looked up by its call id in `calls`; its columns,
// the counts of its `tasks` and `recipients` rows and its `errors` row are
// compared with the summary row.  NULL reads as "" in text columns and as 0
// in number columns, so an unset column equals the summary's empty value.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/db.h"

namespace travik::traffic {

using SummaryRow = std::map<std::string, std::string>;

// The rows of a summary file, keyed by column name (for small summaries).
std::vector<SummaryRow> readSummary(const std::filesystem::path& file);

struct CallComparison {
  std::size_t expected = 0;              // calls in the summary
  std::size_t actual = 0;                // rows of `calls`
  std::size_t matching = 0;              // calls whose every compared value agrees
  std::vector<std::string> differences;  // the first few, readable

  bool allMatch() const { return matching == expected && actual == expected; }
};

// Reads the summary file row by row, so a summary of weeks of traffic costs
// no more memory than the set of its call ids.
CallComparison compareCalls(db::Connection& database, const std::filesystem::path& summaryFile,
                            std::size_t maxDifferences = 20);

}  // namespace travik::traffic

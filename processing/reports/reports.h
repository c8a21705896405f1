// Report files: comma-separated text files in the output folder, one per report.
//
// Every report shares one layout: the name "TRAVIK-REPORT.<kind>.<MMDDYYYY>.
// <HHMMSS>.csv", a header line of the listed column names, one line per row
// of the caller's selection in the selection's order, CRLF line ends.  The
// selection and its order are wholly the caller's; a report writes exactly its
// listed columns, whatever else the selection returns.
//
// A report whose selection fails or whose file cannot be created or written
// is reported once as a handled error and abandoned, leaving no file under
// its name; a row whose value cannot be converted loses that row's line only.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "processing/reports/output_file.h"
#include "processing/runtime/program.h"

namespace travik {

// How a column's value becomes text.
enum class ValueKind {
  Text,      // the stored characters unchanged
  Number,    // whole numbers bare; fractions in plain decimal notation, 15 significant digits at most
  DateTime,  // the general date form; the date alone at midnight
  Boolean,   // True or False
};

struct ReportColumn {
  const char* name;     // as the schema spells it; matched without regard to case
  ValueKind kind;       // the kind of the database column
  bool quoted = false;  // always enclosed in double quotes
};

struct ReportLayout {
  const char* kind;       // the kind in the file name ("Tasks" ...)
  const char* procedure;  // the name in the error report line ("reportTasks()" ...)
  std::span<const ReportColumn> columns;
};

// The selections of the console's dump command.
inline constexpr const char* kTasksSelection = "select * from tasks order by callid, taskid";
inline constexpr const char* kRecipientsSelection = "select * from recipients order by callid, taskid";
inline constexpr const char* kRejectedRecipientsSelection =
    "select * from recipients where recipientinfo <> '' order by callid";
inline constexpr const char* kEventsSelection = "select * from events order by timestamp, milliseconds, sequence";

// <output folder>/TRAVIK-REPORT.<kind>.<MMDDYYYY>.<HHMMSS>.csv
std::filesystem::path reportFileName(const Program& program, std::string_view kind, const DateTime& now);

// Creates (or replaces) an output file and opens it on out; throws a
// HandledError when it cannot.
void createOutputFile(std::ofstream& out, const std::filesystem::path& file);
// Writes text to an output file; throws a HandledError when the write fails.
void writeOutputText(std::ofstream& out, std::string_view text, const std::filesystem::path& file);
// Closes an output file; throws a HandledError when the last write fails.
void closeOutputFile(std::ofstream& out, const std::filesystem::path& file);

// The index of the named column in the selection's result; throws a
// HandledError when the selection has no such column.
int requireColumn(const db::Statement& records, const char* name);

// Rows of a report between two looks for a stop request.
inline constexpr std::size_t kRowsBetweenStopChecks = 4096;

// Writes a line for every remaining row of records to an output file, then
// gives the file its name.  formatRow appends the current row's line, line
// end included; a row it cannot convert loses its line only, while a failing
// read or write ends the file there and it is removed, so that nothing cut
// short stands under a report's name.  Each failure is reported under
// procedure.  True when every row's line is in the named file.
bool writeRowLines(Program& program, std::string_view procedure, db::Statement& records, OutputFile& out,
                   const std::function<void(std::string&)>& formatRow);

// Writes one report of the layout from the selection.  True when the file
// holds the header and a line for every row.
bool writeReport(Program& program, const ReportLayout& layout, std::string_view selection);

// The report kinds whose selection comes from the caller.
bool reportTasks(Program& program, std::string_view selection);
bool reportRecipients(Program& program, std::string_view selection);
bool reportRejectedRecipients(Program& program, std::string_view selection);
bool reportEvents(Program& program, std::string_view selection);

}  // namespace travik

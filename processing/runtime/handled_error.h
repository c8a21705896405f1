// Handled errors: the one error mechanism of the processing code.
//
// A failing step throws (a HandledError, or a library exception that is mapped
// to one); a guard around the step catches it, writes the error report line,
// counts it and lets the procedure go on with its next step (the guards are
// in error_handling.h).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace travik {

// Every error number the processing code reports, in one table.  The
// numbers are those an operator of the original system knows from its logs;
// a failure that is not one of ours is mapped to one by currentHandledError().
namespace error_number {
constexpr long kInvalidProcedureCall = 5;  // an argument or state a step cannot use
constexpr long kOverflow = 6;              // a number or date out of its range
constexpr long kOutOfMemory = 7;
constexpr long kSubscriptOutOfRange = 9;  // a word an event's text does not have
constexpr long kTypeMismatch = 13;        // a text that does not convert
constexpr long kBadFileName = 52;
constexpr long kFileNotFound = 53;
constexpr long kDiskFull = 61;
constexpr long kPermissionDenied = 70;
constexpr long kPathFileAccess = 75;
constexpr long kPathNotFound = 76;
constexpr long kInvalidUseOfNull = 94;         // a value that is missing
constexpr long kRegistry = 1001;               // the registry wrappers' own errors
constexpr long kNoCurrentRecord = 3021;        // no current row: the cursor is off its rows, a task is absent
constexpr long kItemNotFound = 3265;           // a named column or item is missing
constexpr long kDatabase = -2147467259;        // a database operation failed
constexpr long kDatabaseLocked = -2147217887;  // the database stayed locked by the other program
constexpr long kOdbc = -2147217843;            // the gateway's data source failed
}  // namespace error_number

class HandledError : public std::runtime_error {
 public:
  HandledError(long number, const std::string& description, int databaseCode = 0)
      : std::runtime_error(description), number_(number), databaseCode_(databaseCode) {}
  long number() const { return number_; }
  std::string description() const { return what(); }
  // SQLite's extended result code of a failure of the program database; 0 otherwise.
  int databaseCode() const { return databaseCode_; }

 private:
  long number_;
  int databaseCode_;
};

// Thrown by the tests' replacement of the final exit, so the program's
// "never returns" unwinds out of every depth.  Guards never catch it.
struct ProgramEnded {
  int exitCode = 0;
};

// Thrown where long work honours a stop request (Host::honourStop).  Being a
// ProgramEnded, it passes every guard; the service's loop catches it once
// the work is unwound and ends the program in order.
struct StopRequested : ProgramEnded {};

// The error currently being handled, as a HandledError (call inside a
// catch).  A programming error rethrows itself instead where programming
// errors escape; any other exception that is none of the standard ones
// rethrows itself too.
HandledError currentHandledError();

// Whether a programming error of our own code (a std::logic_error: a broken
// precondition, an index out of range in one of our containers) passes every
// guard instead of being counted as a handled error.  The programs count it,
// as they count every failure of a step; the test programs let it escape, so
// that the fault fails the test that meets it.  Conversions of data never
// throw these: they throw HandledError with Overflow or Type mismatch.
void setProgrammingErrorsEscape(bool escape);
bool programmingErrorsEscape();

// Whether the error is a failure of the program database.
inline bool isDatabaseError(const HandledError& error) {
  return error.number() == error_number::kDatabase || error.number() == error_number::kDatabaseLocked;
}

// The program database's file is damaged (not a database, malformed pages).
bool databaseDamaged(const HandledError& error);
// The program database cannot be written (read-only file or folder, full
// disk, an I/O error): no step of a run can store anything.
bool databaseUnwritable(const HandledError& error);

// "(error):" number " (" description ") in procedure " name.
std::string errorReportLine(long number, std::string_view description, std::string_view procedure);
inline std::string errorReportLine(const HandledError& error, std::string_view procedure) {
  return errorReportLine(error.number(), error.description(), procedure);
}

}  // namespace travik

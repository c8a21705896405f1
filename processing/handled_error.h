// Handled errors: the one error mechanism of the processing code.
//
// A failing step throws (a HandledError, or a library exception that is mapped
// to one); a guard around the step catches it, writes the error report line,
// counts it and lets the procedure go on with its next step.  The numbers are
// those an operator of the original system knows from its logs.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace travik {

namespace error_number {
constexpr long kOverflow = 6;
constexpr long kTypeMismatch = 13;  // a text that does not convert
constexpr long kBadFileName = 52;
constexpr long kFileNotFound = 53;
constexpr long kPermissionDenied = 70;
constexpr long kPathFileAccess = 75;
constexpr long kPathNotFound = 76;
constexpr long kInvalidProcedureCall = 5;
constexpr long kNoCurrentRecord = 3021;        // a write to a row that is not there
constexpr long kRegistry = 1001;               // the registry wrappers' own errors
constexpr long kDatabase = -2147467259;        // a database operation failed
constexpr long kDatabaseLocked = -2147217887;  // the database stayed locked by the other program
constexpr long kOdbc = -2147217843;            // the gateway's data source failed
}  // namespace error_number

class HandledError : public std::runtime_error {
 public:
  HandledError(long number, const std::string& description) : std::runtime_error(description), number_(number) {}
  long number() const { return number_; }
  std::string description() const { return what(); }

 private:
  long number_;
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

// The error currently being handled, as a HandledError (call inside a catch).
HandledError currentHandledError();

// "(error):" number " (" description ") in procedure " name.
std::string errorReportLine(long number, std::string_view description, std::string_view procedure);
inline std::string errorReportLine(const HandledError& error, std::string_view procedure) {
  return errorReportLine(error.number(), error.description(), procedure);
}

}  // namespace travik

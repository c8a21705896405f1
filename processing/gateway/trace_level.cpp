#include "processing/gateway/trace_level.h"

#include <optional>
#include <string>
#include <vector>

#include "processing/gateway/gateway_database.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/event_log.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr const char* kProcedure = "setMervaleTraceLevelVerbose()";
constexpr const char* kTracingLevel = "CALL_TRACING_LEVEL";

constexpr const char* kLevelUnknown =
    "Could not determine Varnel analog call tracing level.  Verify that the call tracing level is set to "
    "'Verbose' in the System Settings page of the Varnel administration interface.";
constexpr const char* kLevelRaised =
    "Varnel analog call tracing level was not set to 'Verbose' or higher.  Varnel analog call tracing level must "
    "be set to 'Verbose' to provide sufficient data for TRAVIK to process.  TRAVIK will update the Varnel analog "
    "call tracing level to 'Verbose'.";
constexpr const char* kRaiseFailed =
    "Update of the Varnel analog call tracing level was unsuccessful.  The Varnel web administration System "
    "Settings page may be in use.  Use the Varnel web administration System Settings page to set the analog call "
    "tracing level to 'Verbose' or higher.";
constexpr const char* kRaiseSucceeded = "Varnel analog call tracing level was successfully updated to 'Verbose'.";

// A gateway value read as a 16-bit integer.
std::int16_t shortInteger(const std::optional<std::string>& value) {
  if (!value) throw HandledError(error_number::kInvalidUseOfNull, "Invalid use of Null");
  const auto number = toWholeNumber(*value);
  if (!number) throw HandledError(error_number::kTypeMismatch, "Type mismatch");
  if (*number < -32768 || *number > 32767) throw HandledError(error_number::kOverflow, "Overflow");
  return static_cast<std::int16_t>(*number);
}

// The console's box, then the activity log; the event entry, if any, follows.
void tell(Program& program, const char* text) {
  program.statusMessage = text;
  if (!program.runningAsService)
    program.host.messageBox(program.statusMessage, kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
  writeLog(program, program.statusMessage, true);
}

}  // namespace

void setMervaleTraceLevelVerbose(Program& program) {
  std::unique_ptr<odbc::Connection> gateway;
  // Without the connection every further step would fail again: report once.
  if (!guard(program, kProcedure, [&] { gateway = openGatewayConnection(program); })) return;

  struct Parameter {
    std::optional<std::string> name;
    std::optional<std::string> value;
  };
  std::vector<Parameter> parameters;
  if (!guard(program, kProcedure, [&] {
        odbc::Statement rows = gateway->execute("select * from systemparameters");
        const int name = rows.columnIndex("propname");
        const int value = rows.columnIndex("propvalue");
        if (name < 0 || value < 0)
          throw HandledError(error_number::kItemNotFound, "Item cannot be found in the collection");
        while (rows.fetch()) parameters.push_back({rows.getText(name), rows.getText(value)});
      })) {
    gateway->close();
    return;
  }

  if (parameters.empty()) {
    tell(program, kLevelUnknown);
    gateway->close();
    return;
  }

  // Absent names read as 0; of repeated names the last row wins.
  std::int16_t major = 0, minor = 0, level = 0;
  int levelRows = 0;
  for (const Parameter& parameter : parameters) {
    if (!parameter.name) continue;
    if (*parameter.name == "DB_VERSION_MAJOR") {
      guard(program, kProcedure, [&] { major = shortInteger(parameter.value); });
    } else if (*parameter.name == "DB_VERSION_MINOR") {
      guard(program, kProcedure, [&] { minor = shortInteger(parameter.value); });
    } else if (*parameter.name == kTracingLevel) {
      ++levelRows;
      guard(program, kProcedure, [&] { level = shortInteger(parameter.value); });
    }
  }
  // Both parts are compared on their own: 3.0 needs 8, 2.4 and 3.4 need 4.
  const std::int16_t required = (major >= 2 && minor >= 4) ? 4 : 8;
  if (level >= required || levelRows == 0) {
    gateway->close();
    return;
  }

  guard(program, kProcedure, [&] {
    gateway->execute("update systemparameters set propvalue = ? where propname = ?",
                     {std::to_string(required), kTracingLevel});
  });
  tell(program, kLevelRaised);
  myEventLog(program, event_id::kTraceLevelRaised, 2, "");

  // The gateway's administration pages may write the table at the same time:
  // read the level back to see whether the raise stayed.
  guard(program, kProcedure, [&] {
    odbc::Statement check =
        gateway->execute("select propvalue from systemparameters where propname = ?", {kTracingLevel});
    const std::int16_t now = check.fetch() ? shortInteger(check.getText(0)) : std::int16_t{0};
    if (now < required) {
      tell(program, kRaiseFailed);
      myEventLog(program, event_id::kTraceLevelRaiseFailed, 2, "");
    } else {
      tell(program, kRaiseSucceeded);
      myEventLog(program, event_id::kTraceLevelRaiseSucceeded, 1, "");
    }
  });
  gateway->close();
}

}  // namespace travik

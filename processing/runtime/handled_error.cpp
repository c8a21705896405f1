#include "processing/runtime/handled_error.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/db.h"
#include "platform/odbc.h"
#include "processing/text/printable_text.h"

namespace travik {

namespace {

std::atomic<bool> escapeProgrammingErrors{false};

long fileErrorNumber(const std::error_code& code) {
  if (code == std::errc::no_such_file_or_directory) return error_number::kPathNotFound;
  if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted ||
      code == std::errc::read_only_file_system)
    return error_number::kPermissionDenied;
  return error_number::kPathFileAccess;
}

}  // namespace

HandledError currentHandledError() {
  try {
    throw;
  } catch (const HandledError& e) {
    return e;
  } catch (const db::DbError& e) {
    return HandledError(e.busy() ? error_number::kDatabaseLocked : error_number::kDatabase, e.what(), e.sqliteCode());
  } catch (const odbc::OdbcError& e) {
    return HandledError(error_number::kOdbc, e.what());
  } catch (const std::filesystem::filesystem_error& e) {
    return HandledError(fileErrorNumber(e.code()), e.what());
  } catch (const std::system_error& e) {
    return HandledError(fileErrorNumber(e.code()), e.what());
  } catch (const std::bad_alloc&) {
    return HandledError(error_number::kOutOfMemory, "Out of memory");
  } catch (const std::logic_error& e) {
    if (programmingErrorsEscape()) throw;
    if (dynamic_cast<const std::invalid_argument*>(&e))
      return HandledError(error_number::kTypeMismatch, "Type mismatch");
    if (dynamic_cast<const std::out_of_range*>(&e)) return HandledError(error_number::kOverflow, "Overflow");
    return HandledError(error_number::kInvalidProcedureCall, e.what());
  } catch (const std::exception& e) {
    return HandledError(error_number::kInvalidProcedureCall, e.what());
  }
}

bool databaseDamaged(const HandledError& error) {
  const int primary = error.databaseCode() & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool databaseUnwritable(const HandledError& error) {
  const int primary = error.databaseCode() & 0xff;
  return primary == SQLITE_READONLY || primary == SQLITE_FULL || primary == SQLITE_IOERR ||
         primary == SQLITE_CANTOPEN || primary == SQLITE_PERM;
}

void setProgrammingErrorsEscape(bool escape) { escapeProgrammingErrors.store(escape, std::memory_order_relaxed); }

bool programmingErrorsEscape() { return escapeProgrammingErrors.load(std::memory_order_relaxed); }

std::string errorReportLine(long number, std::string_view description, std::string_view procedure) {
  std::string line = "(error):";
  line += std::to_string(number);
  line += " (";
  // Descriptions carry file names and driver texts: the line goes to boxes and logs as one line.
  line += printableText(description);
  line += ") in procedure ";
  line += procedure;
  return line;
}

}  // namespace travik

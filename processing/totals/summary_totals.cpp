#include "processing/totals/summary_totals.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "platform/db.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/call_counters.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"
#include "processing/totals/summary_due.h"

namespace travik {

namespace {

// The per-call counters, in the order every total lists them.
constexpr const auto& kCounters = kCallCounterNames;

// What differs between the line totals and the node totals.
struct TotalsKind {
  const char* table;      // the summary table
  const char* key;        // its key column, the same-named column of calls
  const char* procedure;  // the name in the error report line
  bool withinInterval;    // nodes also count the recent error interval
};

constexpr TotalsKind kLineTotals{"linesummary", "line", "calculateTotalsForLines()", false};
constexpr TotalsKind kNodeTotals{"octelsummary", "octelserialnumber", "calculateTotalsForOctels()", true};

// One aggregate over the calls of one summary row.  ?1 is the summary row's
// rowid; the key is read from the row itself, so a line number or a serial
// number is compared in its stored type, and a row without a key matches no
// call.  ?2 is the interval's cutoff: only calls that ended strictly later
// count within the interval, and a call without an end never does.
std::string totalsQuery(const TotalsKind& kind) {
  std::string sql = "select count(*), count(case when exitcode like 'E%' then 1 end)";
  if (kind.withinInterval)
    sql +=
        ", count(case when timestampend > ?2 and ignoreErrorForIntervalCalculation = 0 then 1 end)"
        ", count(case when timestampend > ?2 and ignoreErrorForIntervalCalculation = 0"
        " and exitcode like 'E%' then 1 end)";
  // A call still open has no duration yet: it adds nothing instead of blanking the total.
  sql += ", coalesce(sum(durationInSeconds), 0)";
  for (const char* counter : kCounters) sql += std::string(", coalesce(sum(") + counter + "), 0)";
  sql += std::string(" from calls where ") + kind.key + " = (select " + kind.key + " from " + kind.table +
         " where rowid = ?1)";
  return sql;
}

// Every figure is written over what the row holds, never added to it.
std::string updateStatement(const TotalsKind& kind) {
  std::string sql = std::string("update ") + kind.table + " set calls = ?2, errors = ?3, errorpercent = ?4";
  int parameter = 5;
  if (kind.withinInterval) {
    sql += ", callswithininterval = ?5, errorswithininterval = ?6, errorpercentwithininterval = ?7";
    parameter = 8;
  }
  sql += ", timeinuseInSeconds = ?" + std::to_string(parameter++);
  for (const char* counter : kCounters) sql += std::string(", ") + counter + " = ?" + std::to_string(parameter++);
  sql += " where rowid = ?1";
  return sql;
}

// The other program holds the database: say so and leave this cycle's totals
// alone.  It is not counted toward the limit of handled errors.
void reportContention(Program& program, const HandledError& error, const TotalsKind& kind) {
  const std::string line = errorReportLine(error, kind.procedure);
  if (!program.runningAsService)
    program.host.messageBox(line, kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
  writeLog(program, line, true);
  writeLog(program, "Database contention between TRAVIK admin and TRAVIK service", true);
  writeLog(program, "TRAVIK service will now exit this processing cycle", true);
}

// The rows of the summary table: one per distinct key of calls.
void replaceRows(db::Connection& connection, const TotalsKind& kind) {
  connection.exec(std::string("delete from ") + kind.table);
  connection.exec(std::string("insert into ") + kind.table + " (" + kind.key + ") select distinct " + kind.key +
                  " from calls");
}

enum class StepResult { Done, Failed, Contention };

template <class Step>
StepResult totalsStep(Program& program, const TotalsKind& kind, Step&& step) {
  StepResult result = StepResult::Done;
  guardWith(std::forward<Step>(step), [&](const HandledError& error) {
    if (error.number() == error_number::kDatabaseLocked) {
      reportContention(program, error, kind);
      result = StepResult::Contention;
    } else {
      handleError(program, error, kind.procedure);
      result = StepResult::Failed;
    }
  });
  return result;
}

bool calculateTotals(Program& program, const TotalsKind& kind, bool lastOfTheTotals) {
  std::int64_t keys = 0;
  const StepResult read = totalsStep(program, kind, [&] {
    auto statement =
        program.db.prepare(std::string("select count(*) from (select distinct ") + kind.key + " from calls)");
    statement.step();
    keys = statement.getInt(0);
  });
  if (read != StepResult::Done) return false;

  HostSlot& host = program.host;
  if (keys > 0) {
    host.setProgressMin(0);
    host.setProgressMax(static_cast<double>(keys));
    host.setProgressValue(0);
    host.yield();
  }

  // One write transaction for the whole table, opened after the yield and
  // closed before any log line, so it never spans a pause of the thread.
  const StepResult fill = totalsStep(program, kind, [&] {
    db::Transaction transaction(program.db);
    replaceRows(program.db, kind);
    std::vector<std::int64_t> rows;
    {
      auto statement = program.db.prepare(std::string("select rowid from ") + kind.table + " order by rowid");
      while (statement.step()) rows.push_back(statement.getInt(0));
    }
    auto totals = program.db.prepare(totalsQuery(kind));
    auto update = program.db.prepare(updateStatement(kind));
    std::string cutoff;
    if (kind.withinInterval)
      cutoff = host.now().addHours(-static_cast<std::int64_t>(program.settings.errorIntervalHours)).toStored();
    std::int64_t done = 0;
    for (const std::int64_t rowid : rows) {
      totals.bind(1, rowid);
      if (kind.withinInterval) totals.bind(2, cutoff);
      totals.step();  // an aggregate always returns its one row
      int column = 0;
      const std::int64_t calls = totals.getInt(column++);
      const std::int64_t errors = totals.getInt(column++);
      update.bind(1, rowid).bind(2, calls).bind(3, errors).bind(4, errorPercent(errors, calls));
      int parameter = 5;
      if (kind.withinInterval) {
        const std::int64_t callsWithin = totals.getInt(column++);
        const std::int64_t errorsWithin = totals.getInt(column++);
        update.bind(5, callsWithin).bind(6, errorsWithin).bind(7, errorPercent(errorsWithin, callsWithin));
        parameter = 8;
      }
      // The duration, then the eleven counters, in the order of both statements.
      for (std::size_t i = 0; i < 1 + kCounters.size(); ++i) update.bind(parameter++, totals.getInt(column++));
      totals.reset();
      update.run();

      ++done;
      const double max = host.progressMax();
      host.setProgressValue(max < static_cast<double>(done) ? max : static_cast<double>(done));
    }
    if (lastOfTheTotals) markReportsDue(program.db);
    transaction.commit();
  });
  // After contention the bar keeps its value, as the cycle is abandoned there.
  if (fill == StepResult::Contention) return false;
  if (keys > 0) host.setProgressValue(0);
  return fill == StepResult::Done;
}

}  // namespace

std::int32_t errorPercent(std::int64_t errors, std::int64_t calls) {
  if (calls <= 0 || errors <= 0) return 0;
  // Division first, then the factor, in double precision; nearbyint rounds a
  // half to the even neighbour in the default rounding mode.
  return static_cast<std::int32_t>(std::nearbyint(static_cast<double>(errors) / static_cast<double>(calls) * 100.0));
}

bool calculateTotalsForLines(Program& program) { return calculateTotals(program, kLineTotals, false); }

bool calculateTotalsForOctels(Program& program, bool linesComputed) {
  return calculateTotals(program, kNodeTotals, linesComputed);
}

void replaceLineSummaryRows(db::Connection& connection) {
  db::Transaction transaction(connection);
  replaceRows(connection, kLineTotals);
  transaction.commit();
}

void replaceOctelSummaryRows(db::Connection& connection) {
  db::Transaction transaction(connection);
  replaceRows(connection, kNodeTotals);
  transaction.commit();
}

}  // namespace travik

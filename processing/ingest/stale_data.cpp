#include "processing/ingest/stale_data.h"

#include <string>

#include "processing/runtime/activity_log.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"
#include "processing/totals/summary_due.h"

namespace travik {

namespace {

constexpr const char* kProcedure = "ClearDatabases of Form frmMain";

// One kind of call to remove: the calls chosen by a condition on calls,
// optionally comparing against the cutoff bound as ?1.
struct CallGroup {
  const char* count;
  const char* deleteErrors;
  const char* deleteTasks;
  const char* deleteRecipients;
  const char* deleteCalls;
  const char* statusEnd;
};

constexpr CallGroup kObsoleteCalls = {
    "select count(*) from calls where timestampbegin < ?1",
    "delete from errors where callid in (select callid from calls where timestampbegin < ?1)",
    "delete from tasks where callid in (select callid from calls where timestampbegin < ?1)",
    "delete from recipients where callid in (select callid from calls where timestampbegin < ?1)",
    "delete from calls where timestampbegin < ?1",
    " obsolete calls from previous processing and associated data...",
};

// Returns the number of calls removed.
std::int64_t removeCalls(Program& program, const CallGroup& group, const std::string* cutoff) {
  auto bound = [&](const char* sql) {
    db::Statement statement = program.db.prepare(sql);
    if (cutoff) statement.bind(1, *cutoff);
    return statement;
  };
  std::int64_t count = 0;
  if (!guard(program, kProcedure, [&] {
        db::Statement query = bound(group.count);
        query.step();
        count = query.getInt(0);
      }))
    return 0;
  showStatusLine(program, "Deleting " + std::to_string(count) + group.statusEnd);
  if (count == 0) return 0;
  // The calls and every row that names them go together or not at all.
  std::int64_t removed = 0;
  guard(program, kProcedure, [&] {
    db::Transaction transaction(program.db);
    for (const char* sql : {group.deleteErrors, group.deleteTasks, group.deleteRecipients}) bound(sql).run();
    db::Statement calls = bound(group.deleteCalls);
    calls.run();
    removed = program.db.changes();
    if (removed > 0) markTotalsDue(program.db);
    transaction.commit();
  });
  return removed;
}

}  // namespace

std::int64_t ClearDatabases(Program& program) {
  // Release: the previous run's statements are gone with it; failures here are ignored.
  guard(
      program, kProcedure, [&] { program.db.close(); }, ErrorHandler::Silent);
  program.host.sleep(500);

  if (!guard(program, kProcedure, [&] { reopenProgramDatabase(program); })) return 0;

  // The unfinished calls are counted as before; the walk replaces them line
  // by line, and only where the line has events it has not read.
  guard(program, kProcedure, [&] {
    db::Statement query = program.db.prepare("select count(*) from calls where timestampend is null");
    query.step();
    showStatusLine(program, "Deleting " + std::to_string(query.getInt(0)) +
                                " incomplete calls from previous processing and associated data...");
  });
  std::int64_t removed = 0;
  if (const std::optional<std::string>& stored = program.unusableRetention) {
    const std::string held = "DATARETENTIONINHOURS " + *stored +
                             " is not a whole number of hours from 1 to 2147483647: no event or call is removed for "
                             "its age until a usable value is stored.";
    guard(program, kProcedure, [&] { writeLog(program, held, true); });
    program.standardError(held);
  } else {
    // The cutoff is taken once, for the count and the deletes alike.
    const std::string cutoff = program.host.now().addHours(-program.settings.dataRetentionHours).toStored();
    removed = removeCalls(program, kObsoleteCalls, &cutoff);
  }

  showStatusLine(program, "Deleting previous line and Octel node summary data...");
  return removed;
}

}  // namespace travik

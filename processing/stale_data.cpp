#include "processing/stale_data.h"

#include <string>

#include "processing/error_handling.h"
#include "processing/process_logs.h"

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

constexpr CallGroup kIncompleteCalls = {
    "select count(*) from calls where timestampend is null",
    "delete from errors where callid in (select callid from calls where timestampend is null)",
    "delete from tasks where callid in (select callid from calls where timestampend is null)",
    "delete from recipients where callid in (select callid from calls where timestampend is null)",
    "delete from calls where timestampend is null",
    " incomplete calls from previous processing and associated data...",
};

constexpr CallGroup kObsoleteCalls = {
    "select count(*) from calls where timestampbegin < ?1",
    "delete from errors where callid in (select callid from calls where timestampbegin < ?1)",
    "delete from tasks where callid in (select callid from calls where timestampbegin < ?1)",
    "delete from recipients where callid in (select callid from calls where timestampbegin < ?1)",
    "delete from calls where timestampbegin < ?1",
    " obsolete calls from previous processing and associated data...",
};

void removeCalls(Program& program, const CallGroup& group, const std::string* cutoff) {
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
    return;
  showStatusLine(program, "Deleting " + std::to_string(count) + group.statusEnd);
  if (count == 0) return;
  // The calls and every row that names them go together or not at all.
  guard(program, kProcedure, [&] {
    db::Transaction transaction(program.db);
    for (const char* sql : {group.deleteErrors, group.deleteTasks, group.deleteRecipients, group.deleteCalls})
      bound(sql).run();
    transaction.commit();
  });
}

}  // namespace

void ClearDatabases(Program& program) {
  // Release: the previous run's statements are gone with it; failures here are ignored.
  guard(
      program, kProcedure, [&] { program.db.close(); }, ErrorHandler::Silent);
  program.host.sleep(500);

  guard(program, kProcedure, [&] { program.db.open(program.databasePath().string(), program.databaseBusyTimeoutMs); });

  removeCalls(program, kIncompleteCalls, nullptr);
  // The cutoff is taken once, for the count and the deletes alike.
  const std::string cutoff = program.host.now().addHours(-program.settings.dataRetentionHours).toStored();
  removeCalls(program, kObsoleteCalls, &cutoff);

  showStatusLine(program, "Deleting previous line and Octel node summary data...");
  guard(program, kProcedure, [&] { program.db.exec("delete from linesummary"); });
  guard(program, kProcedure, [&] { program.db.exec("delete from octelsummary"); });
}

}  // namespace travik

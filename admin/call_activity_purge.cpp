#include "admin/call_activity_purge.h"

namespace travik {

void purgeCallActivity(db::Connection& db) {
  db::Transaction transaction(db);
  for (const char* table : {"Events", "calls", "errors", "tasks", "recipients", "linesummary", "octelsummary"})
    db.exec(std::string("delete from ") + table);
  transaction.commit();
}

}  // namespace travik

#include "admin/models/error_count_reset.h"

namespace travik {

std::vector<std::string> nodesWithUnresetErrors(db::Connection& db) {
  db::Statement query = db.prepare(
      "select distinct octelserialnumber from calls where exitcode like 'E%' and "
      "ignoreErrorForIntervalCalculation = 0");
  std::vector<std::string> nodes;
  while (query.step())
    if (!query.isNull(0)) nodes.push_back(query.getText(0));
  return nodes;
}

void resetErrorCountForNode(db::Connection& db, std::string_view serialNumber) {
  db::Transaction transaction(db);
  db::Statement update =
      db.prepare("update calls set ignoreErrorForIntervalCalculation = 1 where upper(octelserialnumber) = upper(?1)");
  update.bind(1, serialNumber).run();
  transaction.commit();
}

void resetErrorCountsForAllNodes(db::Connection& db) {
  db::Transaction transaction(db);
  db.exec("update calls set ignoreErrorForIntervalCalculation = 1");
  transaction.commit();
}

}  // namespace travik

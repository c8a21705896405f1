// The grids' model: the rows of a query as text, found by value.
#include "admin/query_model.h"

#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

TEST(QueryModel, KeepsEveryRowWithTheFieldNamesAsHeadingsAndFindsRowsIgnoringCase) {
  db::Connection db;
  db.create(":memory:");
  db.exec("create table t (callid text, line integer, note text)");
  db.exec("insert into t values ('A.1', 3, null), ('b.2', 4, 'x')");
  QueryModel model;
  auto statement = db.prepare("select callid, line, note from t order by line");
  model.load(statement);
  ASSERT_EQ(model.rowCount(), 2);
  ASSERT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString().toStdString(), "line");
  EXPECT_EQ(model.text(0, 1).toStdString(), "3");
  EXPECT_EQ(model.text(0, 2).toStdString(), "");
  EXPECT_EQ(model.findRow(0, QStringLiteral("B.2")), 1);
  EXPECT_EQ(model.findRow(0, QStringLiteral("c")), -1);
  EXPECT_EQ(model.findRow(7, QStringLiteral("A.1")), -1);
  model.clear();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.columnCount(), 0);
}

}  // namespace
}  // namespace travik

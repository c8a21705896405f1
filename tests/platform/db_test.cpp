#include "platform/db.h"

#include <gtest/gtest.h>

#include "tests/support/test_program.h"

namespace travik {
namespace {

TEST(Db, BoundValuesColumnNamesIgnoringCaseAndRollback) {
  test::TempFolder folder;
  const std::string file = (folder.path() / "t.db").string();
  db::Connection create;
  create.create(file);
  create.exec("create table calls (callid text, line integer)");
  create.close();

  db::Connection db;
  db.open(file);
  auto insert = db.prepare("insert into calls (callid, line) values (?1, ?2)");
  insert.bind(1, "x'); drop table calls; --").bind(2, 7).run();
  {
    db::Transaction transaction(db);
    insert.bind(1, "rolled back").bind(2, 8).run();
  }
  auto rows = db.prepare("select * from CALLS");
  ASSERT_TRUE(rows.step());
  EXPECT_EQ(rows.getText("CallId"), "x'); drop table calls; --");
  EXPECT_EQ(rows.getInt("LINE"), 7);
  EXPECT_FALSE(rows.step());
  EXPECT_THROW(rows.getText("nothing"), db::DbError);
}

TEST(Db, ALockedDatabaseIsBusyAfterTheTimeout) {
  test::TempFolder folder;
  const std::string file = (folder.path() / "t.db").string();
  db::Connection holder;
  holder.create(file);
  holder.exec("create table t (x integer)");
  holder.exec("BEGIN EXCLUSIVE");
  db::Connection other;
  other.open(file, 50);
  try {
    other.exec("insert into t values (1)");
    FAIL() << "wrote into a locked database";
  } catch (const db::DbError& e) {
    EXPECT_TRUE(e.busy());
  }
  holder.exec("ROLLBACK");
}

TEST(Db, OpeningAMissingFileNeverCreatesIt) {
  test::TempFolder folder;
  db::Connection db;
  EXPECT_THROW(db.open((folder.path() / "missing.mdb").string()), db::DbError);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing.mdb"));
}

}  // namespace
}  // namespace travik

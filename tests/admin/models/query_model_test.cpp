// The grids' model: a query's rows read a page at a time by key, counted,
// found by value, and streamed for saving, against a large generated table.
#include "admin/models/query_model.h"

#include <stdlib.h>

#include <algorithm>
#include <random>

#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

namespace fs = std::filesystem;

TEST(QueryModel, ShowsTheFieldNamesAsHeadingsNullAsEmptyAndFindsStoredValuesIgnoringCase) {
  db::Connection db;
  db.create(":memory:");
  db.exec("create table t (callid text, line integer, note text)");
  db.exec("insert into t values ('A.1', 3, null), ('b.2', 4, 'x'), ('b.2', 5, 'second of b.2')");
  QueryModel model;
  model.setQuery(db, {"callid, line, note", "t", "", {}, {"line"}});
  ASSERT_EQ(model.rowCount(), 3);
  ASSERT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString().toStdString(), "line");
  EXPECT_EQ(model.text(0, 1).toStdString(), "3");
  EXPECT_EQ(std::get<std::int64_t>(model.value(0, 1)), 3);
  EXPECT_EQ(model.text(0, 2).toStdString(), "");
  EXPECT_EQ(model.findRow(0, QStringLiteral("B.2")), 1);
  EXPECT_EQ(model.findRow(1, QStringLiteral("5")), 2);
  EXPECT_EQ(model.findRow(0, QStringLiteral("c")), -1);
  EXPECT_EQ(model.findRow(7, QStringLiteral("A.1")), -1);
  EXPECT_THROW(model.setQuery(db, {"*", "no_such_table", "", {}, {}}), db::DbError);
  EXPECT_EQ(model.rowCount(), 0);
  model.setQuery(db, {"*", "t", "line > ?1", {std::int64_t{3}}, {}});
  EXPECT_EQ(model.rowCount(), 2);
  model.clear();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.columnCount(), 0);
}

// A call table of tens of thousands of rows in a WAL database file, with many
// calls sharing a begin time and a few without one, and a second connection
// to it that writes like the service.
class PagedModelTest : public ::testing::Test {
 protected:
  static constexpr unsigned kSeed = 20261209;
  static constexpr int kCalls = 20000;
  static constexpr int kPageRows = 7;

  PagedModelTest() : random(kSeed) {
    char pattern[] = "/tmp/travik-paged-XXXXXX";
    folder = ::mkdtemp(pattern);
    db.create((folder / "grid.db").string());
    db.exec("pragma journal_mode = wal");
    db.exec(
        "create table calls (timestampbegin text, timestampend text, callid text, line integer, "
        "exitcode text)");
    db.exec("create index callsByBegin on calls (timestampbegin)");
    db.exec("create index callsById on calls (callid)");
    db.exec(
        "create table Events (Timestamp text not null, Milliseconds integer not null, Sequence integer not null, "
        "Line integer not null, Data text)");
    db.exec("create index EventsByLine on Events (Line, Timestamp, Milliseconds, Sequence, Data)");
    db::Transaction transaction(db);
    auto insert = db.prepare("insert into calls values (?1, ?2, ?3, ?4, ?5)");
    std::uniform_int_distribution<int> second(0, 3 * 3600);  // many begins shared
    for (int i = 0; i < kCalls; ++i) {
      const DateTime begin = DateTime(2024, 3, 4).addSeconds(second(random));
      if (i % 997 == 0)
        insert.bindNull(1);
      else
        insert.bind(1, begin.toStored());
      insert.bind(2, begin.addSeconds(60 + i % 300).toStored());
      // One call id in ten comes twice; ids hold upper-case letters.
      char id[32];
      std::snprintf(id, sizeof id, "C%05X.A", i % 10 == 5 ? i - 5 : i);
      insert.bind(3, std::string(id)).bind(4, i % 48 + 1).bind(5, i % 13 == 0 ? "E0010" : "OK").run();
    }
    auto event = db.prepare("insert into Events values (?1, ?2, ?3, ?4, ?5)");
    for (int i = 0; i < 6000; ++i) {
      // Few distinct instants: many events share time, milliseconds and sequence.
      event.bind(1, DateTime(2024, 3, 4).addSeconds(i % 40).toStored()).bind(2, (i / 40) % 3 * 100);
      event.bind(3, i % 2 + 1).bind(4, i % 3 + 1).bind(5, "event " + std::to_string(5999 - i)).run();
    }
    transaction.commit();
    writer.open((folder / "grid.db").string(), 0);
  }
  ~PagedModelTest() override {
    writer.close();
    db.close();
    fs::remove_all(folder);
  }

  // The rows of the full query, each as its stored texts.
  std::vector<std::vector<std::string>> fullQuery(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    auto statement = db.prepare(sql);
    while (statement.step()) {
      std::vector<std::string> row;
      for (int column = 0; column < statement.columnCount(); ++column) row.push_back(statement.getText(column));
      rows.push_back(std::move(row));
    }
    return rows;
  }
  static std::vector<std::string> modelRow(const QueryModel& model, int row) {
    std::vector<std::string> texts;
    for (int column = 0; column < model.columnCount(); ++column)
      texts.push_back(storedText(model.value(row, column)).toStdString());
    return texts;
  }
  // No statement of the model's connection is between its first step and its reset.
  bool noStatementOpen() {
    for (sqlite3_stmt* s = sqlite3_next_stmt(db.handle(), nullptr); s; s = sqlite3_next_stmt(db.handle(), s))
      if (sqlite3_stmt_busy(s)) return false;
    return true;
  }

  std::mt19937 random;
  fs::path folder;
  db::Connection db;
  db::Connection writer;
};

TEST_F(PagedModelTest, EveryRowIsReachedByScrollingBothWaysJumpingAndSavingInTheFullQuerysOrder) {
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  const GridQuery query{"timestampbegin, callid, line", "calls", "", {}, {"timestampbegin"}};
  const auto expected = fullQuery("select timestampbegin, callid, line from calls order by timestampbegin, rowid");
  QueryModel model(nullptr, kPageRows);
  model.setQuery(db, query);
  ASSERT_EQ(model.rowCount(), kCalls);
  // The calls without a begin come first, as SQLite orders NULL.
  EXPECT_EQ(model.text(0, 0).toStdString(), "");
  EXPECT_NE(model.text(kCalls - 1, 0).toStdString(), "");

  for (int row = 0; row < kCalls; ++row) ASSERT_EQ(modelRow(model, row), expected[row]) << "down, row " << row;
  for (int row = kCalls - 1; row >= 0; --row) ASSERT_EQ(modelRow(model, row), expected[row]) << "up, row " << row;
  std::uniform_int_distribution<int> anywhere(0, kCalls - 1);
  for (int jump = 0; jump < 300; ++jump) {
    const int row = anywhere(random);
    ASSERT_EQ(modelRow(model, row), expected[row]) << "jump " << jump << " to row " << row;
  }
  // Only pages near the rows asked for were kept: far rows are read again.
  const int reads = model.pageReads();
  model.text(0, 0);
  model.text(kCalls - 1, 0);
  EXPECT_GT(model.pageReads(), reads);

  int saved = 0;
  model.forEachRow([&](const std::vector<SqlValue>& cells) {
    std::vector<std::string> texts;
    for (int column = 0; column < model.columnCount(); ++column)
      texts.push_back(storedText(cells[static_cast<std::size_t>(column)]).toStdString());
    ASSERT_LT(saved, kCalls);
    EXPECT_EQ(texts, expected[saved]) << "saved row " << saved;
    ++saved;
  });
  EXPECT_EQ(saved, kCalls);
}

TEST_F(PagedModelTest, AFilteredGridAndAKeyOfSeveralColumnsWithTiesKeepTheFullQuerysOrder) {
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  QueryModel calls(nullptr, kPageRows);
  calls.setQuery(db, {"callid, timestampend",
                      "calls",
                      "timestampbegin >= ?1 and timestampend <= ?2",
                      {std::string("2024-03-04 01:00:00"), std::string("2024-03-04 02:00:00")},
                      {"timestampbegin"}});
  const auto expectedCalls = fullQuery(
      "select callid, timestampend from calls where timestampbegin >= '2024-03-04 01:00:00' and timestampend <= "
      "'2024-03-04 02:00:00' order by timestampbegin, rowid");
  ASSERT_EQ(calls.rowCount(), static_cast<int>(expectedCalls.size()));
  ASSERT_GT(calls.rowCount(), 1000);
  for (int row = calls.rowCount() - 1; row >= 0; row -= 3) ASSERT_EQ(modelRow(calls, row), expectedCalls[row]) << row;

  QueryModel events(nullptr, kPageRows);
  events.setQuery(db, {"*", "Events", "Line = ?1", {std::int64_t{2}}, {"Timestamp", "Milliseconds", "Sequence"}});
  const auto expectedEvents =
      fullQuery("select * from Events where Line = 2 order by Timestamp, Milliseconds, Sequence, rowid");
  ASSERT_EQ(events.rowCount(), 2000);
  std::uniform_int_distribution<int> anywhere(0, 1999);
  for (int jump = 0; jump < 200; ++jump) {
    const int row = anywhere(random);
    ASSERT_EQ(modelRow(events, row), expectedEvents[row]) << "jump " << jump << " to row " << row;
  }
  for (int row = 0; row < 2000; ++row) ASSERT_EQ(modelRow(events, row), expectedEvents[row]) << row;
}

TEST_F(PagedModelTest, AFoundRowIsTheFirstOfItsValueInTheGridsOrderWhateverItsCase) {
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  QueryModel model(nullptr, kPageRows);
  model.setQuery(db, {"timestampbegin, callid", "calls", "", {}, {"timestampbegin"}});
  const auto expected = fullQuery("select timestampbegin, callid from calls order by timestampbegin, rowid");
  std::uniform_int_distribution<int> anywhere(0, kCalls - 1);
  for (int probe = 0; probe < 200; ++probe) {
    const std::string id = expected[anywhere(random)][1];
    const int first =
        static_cast<int>(std::find_if(expected.begin(), expected.end(), [&](const auto& row) { return row[1] == id; }) -
                         expected.begin());
    EXPECT_EQ(model.findRow(1, QString::fromStdString(id).toLower()), first) << id;
    EXPECT_EQ(model.text(first, 1).toStdString(), id);
  }
  // A row without a begin is found in the NULL segment at the top.
  EXPECT_EQ(model.findRow(1, QString::fromStdString(expected[0][1])), 0);
  EXPECT_EQ(model.findRow(1, QStringLiteral("no such call")), -1);
}

TEST_F(PagedModelTest, NoStatementStaysOpenBetweenPageReadsSoAWriterNeverWaits) {
  QueryModel model(nullptr, kPageRows);
  model.setQuery(db, {"timestampbegin, callid", "calls", "", {}, {"timestampbegin"}});
  auto insert = writer.prepare("insert into calls (timestampbegin, callid) values ('2024-03-05 00:00:00', 'W')");
  std::uniform_int_distribution<int> anywhere(0, kCalls - 1);
  for (int read = 0; read < 100; ++read) {
    model.text(anywhere(random), 1);
    model.findRow(1, QStringLiteral("c0000a.a"));
    ASSERT_TRUE(noStatementOpen()) << "after read " << read;
    // The writer takes the write lock without waiting (its busy timeout is 0)
    // and a checkpoint finds no reader holding an old snapshot.
    db::Transaction write(writer);
    insert.run();
    write.commit();
    auto checkpoint = writer.prepare("pragma wal_checkpoint(truncate)");
    ASSERT_TRUE(checkpoint.step());
    ASSERT_EQ(checkpoint.getInt(0), 0) << "checkpoint blocked after read " << read;
  }
  // The grid keeps the rows it counted; the new calls come at its next load.
  EXPECT_EQ(model.rowCount(), kCalls);
  model.forEachRow([&](const std::vector<SqlValue>&) { ASSERT_TRUE(noStatementOpen()); });
}

}  // namespace
}  // namespace travik

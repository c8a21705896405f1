// The end of a service run clears SERVICEPROCESSING even when another
// program holds the database at that moment.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

#include "processing/run/process_logs.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "tests/support/test_program.h"

namespace travik {
namespace {

std::vector<std::string> storedFlag(test::TestProgram& t) {
  return t.rows("select value from applicationparameters where property = 'SERVICEPROCESSING'");
}

// Stands in for the busy timeout of the program's connection: answers every
// wait at once and calls `onGiveUp` each time a statement gives up.
class BusyWaits {
 public:
  BusyWaits(db::Connection& db, std::function<void()> onGiveUp) : db_(db), onGiveUp_(std::move(onGiveUp)) {
    sqlite3_busy_handler(db.handle(), &BusyWaits::wait, this);
  }
  ~BusyWaits() { db_.setBusyTimeout(200); }
  BusyWaits(const BusyWaits&) = delete;
  BusyWaits& operator=(const BusyWaits&) = delete;
  int giveUps = 0;

 private:
  static int wait(void* self, int count) {
    auto* waits = static_cast<BusyWaits*>(self);
    if (count < 3) return 1;  // retry
    ++waits->giveUps;
    waits->onGiveUp_();
    return 0;
  }
  db::Connection& db_;
  std::function<void()> onGiveUp_;
};

class ServiceProcessingFlag : public ::testing::Test {
 protected:
  ServiceProcessingFlag() {
    setApplicationParameter(*t, parameter::kServiceProcessing, "True");
    holder.open(t->databasePath().string(), 0);
    holder.exec("BEGIN EXCLUSIVE");
  }
  test::TestProgram t;
  db::Connection holder;  // the other program, holding the database
};

TEST_F(ServiceProcessingFlag, ALockReleasedAfterTheFirstTryIsRiddenOut) {
  BusyWaits waits(t->db, [&] {
    if (holder.inTransaction()) holder.exec("COMMIT");
  });
  clearServiceProcessing(*t);
  EXPECT_EQ(waits.giveUps, 1);
  EXPECT_EQ(storedFlag(t), std::vector<std::string>{"False"});
  EXPECT_FALSE(t->settings.serviceProcessing);
  EXPECT_EQ(t->handledErrorCount, 0);
}

TEST_F(ServiceProcessingFlag, ALockThatOutlastsTheSecondTryIsReportedOnce) {
  t.openLog();
  {
    BusyWaits waits(t->db, [] {});
    clearServiceProcessing(*t);
    EXPECT_EQ(waits.giveUps, 2);
    EXPECT_EQ(t->handledErrorCount, 1);
  }
  // The same with the connection's own busy timeout.
  t->db.setBusyTimeout(50);
  clearServiceProcessing(*t);
  EXPECT_EQ(t->handledErrorCount, 2);
  flushActivityLog(*t);
  const std::string log = test::readFile(t->activityLog.fileName);
  const auto report = log.find("(error):-2147217887 (");
  ASSERT_NE(report, std::string::npos) << log;
  EXPECT_NE(log.find(") in procedure setApplicationParameter\r\n", report), std::string::npos);
  holder.exec("ROLLBACK");
  EXPECT_EQ(storedFlag(t), std::vector<std::string>{"True"});
}

// Held through two whole runs: said once, and once more when a run stores again.
TEST_F(ServiceProcessingFlag, ARunLockedOutThroughoutIsSaidOnceAndAgainWhenItStores) {
  std::vector<std::string> said;
  t->standardError = [&](std::string_view line) { said.emplace_back(line); };
  for (int run = 0; run < 4; ++run) {
    if (run == 2) holder.exec("ROLLBACK");
    processLogs(*t);
  }
  ASSERT_EQ(said.size(), 2u);
  EXPECT_NE(said[0].find(t->databasePath().string() + " was locked by another process through"), std::string::npos);
  EXPECT_NE(said[1].find(" is no longer locked"), std::string::npos) << said[1];
}

}  // namespace
}  // namespace travik

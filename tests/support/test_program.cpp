#include "tests/support/test_program.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/db.h"
#include "processing/runtime/activity_log.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/database_schema.h"
#include "processing/runtime/handled_error.h"
#include "tests/support/behaviour_record.h"

namespace travik::test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  std::random_device random;
  path_ = fs::temp_directory_path() / ("travik-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
                                       "-" + std::to_string(random() % 100000));
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  // Restore permissions a test may have taken away, so removal works.
  for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::recursive_directory_iterator();
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

void createDatabaseFromSchema(const fs::path& schemaFile, const fs::path& databaseFile) {
  std::ifstream in(schemaFile);
  std::stringstream schema;
  schema << in.rdbuf();
  db::Connection db;
  db.create(databaseFile.string());
  db.exec(schema.str());
  fs::permissions(databaseFile, static_cast<fs::perms>(0660));  // as make_database and the install lay it down
}

void createDeliveredDatabase(const fs::path& databaseFile) {
  createDatabaseFromSchema(fs::path(TRAVIK_SOURCE_DIR) / "data" / "schema.sql", databaseFile);
}

void writeFile(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

// The number of the next TestProgram within the running test.
int nextProgramNumber() {
  static std::string test;
  static int number = 0;
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string current = info ? std::string(info->test_suite_name()) + "." + info->name() : "";
  if (current != test) {
    test = current;
    number = 0;
  }
  return ++number;
}

}  // namespace

TestProgram::TestProgram(bool runningAsService, const std::string& fileName)
    : runningAsService_(runningAsService), fileName_(fileName), number_(nextProgramNumber()) {
  createDeliveredDatabase(temp.path() / "vrndata.mdb");
  fs::create_directories(temp.path() / "output");
  fs::create_directories(temp.path() / "traces");
  makeProgram();
  {
    db::Connection db;
    db.open((temp.path() / "vrndata.mdb").string());
    auto update = db.prepare("update applicationparameters set value = ?1 where property = ?2");
    update.bind(1, (temp.path() / "output").string()).bind(2, "DEFAULTOUTPUTPATH").run();
    update.bind(1, (temp.path() / "traces").string()).bind(2, "DEFAULTMVLOGPATH").run();
  }
  connect();
}

TestProgram::~TestProgram() {
  if (!recorded_ && recordRoot()) record(std::to_string(number_));
}

void TestProgram::record(const std::string& name) {
  const auto root = recordRoot();
  if (!root) return;
  recorded_ = true;
  try {
    if (program && program->activityLog.file.is_open()) program->activityLog.file.flush();
    if (program && program->db.isOpen()) {
      writeBehaviourRecord(program->db, temp.path(), testRecordFolder(*root) / name);
    } else {
      db::Connection db;
      db.open((temp.path() / "vrndata.mdb").string());
      writeBehaviourRecord(db, temp.path(), testRecordFolder(*root) / name);
    }
  } catch (const std::exception& error) {
    ADD_FAILURE() << "the behaviour record of " << temp.path() << " failed: " << error.what();
  }
}

void TestProgram::makeProgram() {
  program = std::make_unique<Program>(
      temp.path(), fileName_.empty() ? (runningAsService_ ? "TRAVIKservice" : "TRAVIKadmin") : fileName_,
      runningAsService_, host, events);
  program->exitProcess = [](int code) { throw ProgramEnded{code}; };
  program->databaseBusyTimeoutMs = 200;
  program->defaultTraceFolder = temp.path() / "no-gateway-log";
  program->gatewayDataSource = "travik-test-no-such-dsn";
  host.database = &program->db;
}

void TestProgram::restart() {
  program.reset();
  makeProgram();
  connect();
}

void TestProgram::connect() {
  if (!program->db.isOpen()) program->db.open(program->databasePath().string(), program->databaseBusyTimeoutMs);
  // As the start does: an older database is brought up to date before any other use.
  schema::bringUpToDate(program->db);
  getApplicationParameter(*program);
}

void TestProgram::openLog() { openActivityLog(*program, GenerateNewLogFileName(*program)); }

std::vector<std::string> TestProgram::rows(const std::string& sql) {
  std::vector<std::string> result;
  auto statement = program->db.prepare(sql);
  while (statement.step()) {
    std::string row;
    for (int i = 0; i < statement.columnCount(); ++i) {
      if (i) row += "|";
      row += statement.isNull(i) ? "<null>" : statement.getText(i);
    }
    result.push_back(row);
  }
  return result;
}

}  // namespace travik::test

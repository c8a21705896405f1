// A temporary program folder with a freshly delivered database, and a Program
// over it whose exit throws ProgramEnded instead of ending the test process.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/event_log.h"
#include "processing/runtime/program.h"
#include "tests/support/fake_host.h"

namespace travik::test {

// A folder under the system's temporary folder, removed at destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Creates vrndata.mdb from the delivered schema in folder.
void createDeliveredDatabase(const std::filesystem::path& databaseFile);
// Creates a database from a schema file (an earlier delivered schema, say).
void createDatabaseFromSchema(const std::filesystem::path& schemaFile, const std::filesystem::path& databaseFile);
// Writes a text file (bytes as given).
void writeFile(const std::filesystem::path& file, const std::string& bytes);
std::string readFile(const std::filesystem::path& file);

class TestProgram {
 public:
  // A program folder with the delivered database, an output folder, a trace
  // folder, and the settings loaded; the activity log is not opened.
  explicit TestProgram(bool runningAsService = true, const std::string& fileName = "");
  // With TRAVIK_RECORD_DIR set, records the folder as it is left (see
  // behaviour_record.h), unless record() has already.
  ~TestProgram();
  TestProgram(const TestProgram&) = delete;
  TestProgram& operator=(const TestProgram&) = delete;

  Program& operator*() { return *program; }
  Program* operator->() { return program.get(); }

  std::filesystem::path folder() const { return temp.path(); }
  std::filesystem::path outputFolder() const { return temp.path() / "output"; }
  std::filesystem::path traceFolder() const { return temp.path() / "traces"; }
  // Opens the database and loads the settings, as start-up does (without the log or the gateway).
  void connect();
  // A new start of the program on the same folder, as after its process
  // ended: a fresh Program that keeps nothing of the old one but the files.
  void restart();
  // Opens the activity log as start-up does.
  void openLog();
  // Rows of a query, each as texts joined by "|" (NULL as "<null>").
  std::vector<std::string> rows(const std::string& sql);
  // With TRAVIK_RECORD_DIR set: records the folder now, under `name` in this
  // test's record folder, in place of the record at destruction (which is
  // named by the program's number within the test).
  void record(const std::string& name);

  TempFolder temp;
  FakeHost host;
  platform::MemoryEventLog events;
  std::unique_ptr<Program> program;

 private:
  void makeProgram();

  bool runningAsService_;
  std::string fileName_;
  int number_;  // within its test, from 1
  bool recorded_ = false;
};

}  // namespace travik::test

// Build tool: creates the delivered vrndata.mdb from schema.sql, only when no
// database is there yet (an existing database is never overwritten).
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/db.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_database <schema.sql> <vrndata.mdb>\n";
    return 2;
  }
  const std::filesystem::path target = argv[2];
  if (std::filesystem::exists(target)) return 0;
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "make_database: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::stringstream schema;
  schema << in.rdbuf();
  std::filesystem::create_directories(target.parent_path());
  const std::filesystem::path temp = target.string() + ".new";
  std::filesystem::remove(temp);
  try {
    travik::db::Connection db;
    db.create(temp.string());
    db.exec("BEGIN");
    db.exec(schema.str());
    db.exec("COMMIT");
    db.close();
    std::filesystem::rename(temp, target);
  } catch (const std::exception& e) {
    std::cerr << "make_database: " << e.what() << "\n";
    std::filesystem::remove(temp);
    return 1;
  }
  return 0;
}

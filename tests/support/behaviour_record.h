// A behaviour record: what a program folder holds after a test, written as
// plain files so that two builds' records compare with `diff -r`.
//
// Opt-in: nothing is written unless TRAVIK_RECORD_DIR names a folder.  A
// record holds every table of vrndata.mdb (one file per table: the column
// names, then the rows in sorted order; Events without Sequence, which is how
// one run numbered the events of a millisecond, not what was stored), the
// report files of the output folder with the time stamp taken out of their
// names, and the activity logs.  The program folder's path is replaced by a
// placeholder everywhere, so records of different temporary folders agree.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace travik::db {
class Connection;
}

namespace travik::test {

// TRAVIK_RECORD_DIR, when set and not empty.
std::optional<std::filesystem::path> recordRoot();

// The folder of this test's records: <root>/<suite>.<test>, with any
// parameter of the test appended.
std::filesystem::path testRecordFolder(const std::filesystem::path& root);

// Writes the record of the program folder `programFolder` (whose database is
// read through `db`) into `into`, replacing what was there.
void writeBehaviourRecord(db::Connection& db, const std::filesystem::path& programFolder,
                          const std::filesystem::path& into);

}  // namespace travik::test

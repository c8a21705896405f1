// A full output disk for a test: a small tmpfs mounted over a folder in a
// child process of its own, filled to the last byte.  Needs no root where the
// kernel lets a user make a user and mount namespace; elsewhere the test is
// skipped with the reason.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace travik::test {

struct FullDiskRun {
  std::optional<std::string> cannot;  // why no full disk could be made here
  int exitStatus = -1;                // of the child, as waitpid gives it
  std::string output;                 // what the body returned
};

// Forks; the child mounts a full tmpfs over folder (which must exist) and
// runs body, whose result comes back in output.  The mount lives only in the
// child, so the body itself checks what it finds on the disk.  The child
// opens its own database connections: none may cross the fork.
FullDiskRun onFullDisk(const std::filesystem::path& folder, const std::function<std::string()>& body);
// The same with folder bound over itself read-only, as a root-owned install
// is to another account (a file's mode does not stop root).
FullDiskRun onReadOnlyFolder(const std::filesystem::path& folder, const std::function<std::string()>& body);

}  // namespace travik::test

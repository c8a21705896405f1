// Removal of a registry key tree from the program folder's key store.
#include "uninstall/registry_api.h"

#include <gtest/gtest.h>

#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using uninstall::kHkeyLocalMachine;

platform::RegValue text(const std::string& data) {
  platform::RegValue value;
  value.text = data;
  return value;
}

class KeyTree : public ::testing::Test {
 protected:
  void addKey(const std::string& path, std::initializer_list<const char*> values = {}) {
    ASSERT_TRUE(registry.createKey(kHkeyLocalMachine, path));
    for (const char* name : values) ASSERT_TRUE(registry.setValue(kHkeyLocalMachine, path, name, text(name)));
  }
  bool exists(const std::string& path) const { return registry.keyExists(kHkeyLocalMachine, path); }

  test::TempFolder temp;
  platform::KeyStore registry{temp.path() / "registry"};
};

TEST_F(KeyTree, ADeepTreeGoesLeavesFirstWithAllItsValues) {
  addKey("Software\\TravikAdmin", {"TravikAdminIsRunning", "Second", "Third"});
  addKey("Software\\TravikAdmin\\A\\B\\C", {"one", "two"});
  addKey("Software\\TravikAdmin\\A\\D");
  addKey("Software\\TravikAdmin\\E", {""});  // the default value
  addKey("Software\\TravikAdminOld", {"kept"});

  uninstall::deleteRegistryKeyTree(registry, kHkeyLocalMachine, "Software\\TravikAdmin");
  EXPECT_FALSE(exists("Software\\TravikAdmin"));
  EXPECT_TRUE(exists("Software"));
  EXPECT_TRUE(registry.queryValue(kHkeyLocalMachine, "Software\\TravikAdminOld", "kept").has_value());

  // Gone already: nothing to do, nothing created.
  uninstall::deleteRegistryKeyTree(registry, kHkeyLocalMachine, "Software\\TravikAdmin");
  EXPECT_FALSE(exists("Software\\TravikAdmin"));
}

TEST_F(KeyTree, ASubKeyThatCannotBeRemovedKeepsItsParentsAndEndsTheRemoval) {
  // A folder whose name holds a backslash cannot be addressed as a key, so it
  // can never be deleted; the removal must end all the same.
  addKey("Software\\TravikAdmin\\Fine", {"v"});
  fs::create_directories(registry.keyFolder(kHkeyLocalMachine, "Software\\TravikAdmin") / "odd\\name");

  uninstall::deleteRegistryKeyTree(registry, kHkeyLocalMachine, "Software\\TravikAdmin");
  EXPECT_FALSE(exists("Software\\TravikAdmin\\Fine"));
  EXPECT_TRUE(exists("Software\\TravikAdmin"));
}

}  // namespace
}  // namespace travik

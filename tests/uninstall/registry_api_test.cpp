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

TEST_F(KeyTree, EnumeratedValuesCarryTheirDataByType) {
  addKey("Software\\Key");
  platform::RegValue number;
  number.type = platform::RegType::Dword;
  number.number = -7;
  platform::RegValue bytes;
  bytes.type = platform::RegType::Binary;
  bytes.bytes = {0x00, 0xff, 0x10};
  ASSERT_TRUE(registry.setValue(kHkeyLocalMachine, "Software\\Key", "Number", number));
  ASSERT_TRUE(registry.setValue(kHkeyLocalMachine, "Software\\Key", "Bytes", bytes));
  ASSERT_TRUE(registry.setValue(kHkeyLocalMachine, "Software\\Key", "Text", text("hello")));

  auto values = uninstall::regEnumValues(registry, kHkeyLocalMachine, "Software\\Key");
  ASSERT_EQ(values.size(), 3u);
  std::sort(values.begin(), values.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  EXPECT_EQ(values[0].data.bytes, bytes.bytes);
  EXPECT_EQ(values[1].data.number, -7);
  EXPECT_EQ(values[2].data.text, "hello");

  EXPECT_TRUE(uninstall::regEnumValues(registry, kHkeyLocalMachine, "Software\\Missing").empty());
  EXPECT_TRUE(uninstall::regEnumSubKeys(registry, kHkeyLocalMachine, "Software\\Key").empty());
  EXPECT_EQ(uninstall::regEnumSubKeys(registry, kHkeyLocalMachine, ""), std::vector<std::string>{"Software"});
}

}  // namespace
}  // namespace travik

#include "platform/key_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/test_program.h"

namespace travik {
namespace {

namespace fs = std::filesystem;
using platform::KeyStore;
using platform::RegType;
using platform::RegValue;

constexpr const char* kHklm = "HKEY_LOCAL_MACHINE";

RegValue text(const std::string& data) {
  RegValue value;
  value.text = data;
  return value;
}

std::optional<std::string> queryText(const KeyStore& store, const char* key, const char* name) {
  const auto value = store.queryValue(kHklm, key, name);
  if (!value || value->type != RegType::String) return std::nullopt;
  return value->text;
}

TEST(KeyStore, KeyNamesCompareWithoutRegardToCase) {
  test::TempFolder folder;
  KeyStore store(folder.path() / "registry");
  ASSERT_TRUE(store.createKey(kHklm, "Software\\TravikAdmin"));
  EXPECT_TRUE(store.keyExists("hkey_local_machine", "SOFTWARE\\travikadmin"));
  // Creating it again in another spelling finds the same key.
  ASSERT_TRUE(store.createKey(kHklm, "software\\TRAVIKADMIN\\Sub"));
  EXPECT_EQ(store.subKeys(kHklm, "Software"), std::vector<std::string>{"TravikAdmin"});
  EXPECT_EQ(store.subKeys(kHklm, "Software\\TravikAdmin"), std::vector<std::string>{"Sub"});
  ASSERT_TRUE(store.setValue(kHklm, "SOFTWARE\\TRAVIKADMIN", "Flag", text("1")));
  EXPECT_EQ(queryText(store, "Software\\TravikAdmin", "Flag"), "1");
  EXPECT_FALSE(store.deleteKey(kHklm, "software\\travikadmin"));  // it has a sub-key
  EXPECT_TRUE(store.deleteKey(kHklm, "software\\travikadmin\\SUB"));
  EXPECT_FALSE(store.keyExists(kHklm, "Software\\TravikAdmin\\Sub"));
}

TEST(KeyStore, ValueNamesCompareWithoutRegardToCaseAndKeepTheirSpelling) {
  test::TempFolder folder;
  KeyStore store(folder.path() / "registry");
  ASSERT_TRUE(store.createKey(kHklm, "Software\\TravikAdmin"));
  ASSERT_TRUE(store.setValue(kHklm, "Software\\TravikAdmin", "Application", text("first")));
  EXPECT_EQ(queryText(store, "Software\\TravikAdmin", "APPLICATION"), "first");
  // Writing under another spelling replaces the value, whose name keeps its spelling.
  ASSERT_TRUE(store.setValue(kHklm, "Software\\TravikAdmin", "application", text("second")));
  EXPECT_EQ(store.valueNames(kHklm, "Software\\TravikAdmin"), std::vector<std::string>{"Application"});
  EXPECT_EQ(queryText(store, "Software\\TravikAdmin", "Application"), "second");
  EXPECT_TRUE(store.deleteValue(kHklm, "Software\\TravikAdmin", "APPLICATION"));
  EXPECT_TRUE(store.valueNames(kHklm, "Software\\TravikAdmin").empty());

  // Files that differ only in case (made by hand): the exact spelling wins.
  const fs::path key = store.keyFolder(kHklm, "Software\\TravikAdmin");
  test::writeFile(key / "Flag", "REG_SZ\nexact\n");
  test::writeFile(key / "FLAG", "REG_SZ\nupper\n");
  EXPECT_EQ(queryText(store, "Software\\TravikAdmin", "Flag"), "exact");
  EXPECT_EQ(queryText(store, "Software\\TravikAdmin", "FLAG"), "upper");
}

TEST(KeyStore, ATextWithLineBreaksReadsBackWhole) {
  test::TempFolder folder;
  KeyStore store(folder.path() / "registry");
  ASSERT_TRUE(store.createKey(kHklm, "Software\\TravikAdmin"));
  for (const std::string& data : {std::string("line one\nline two\r\nthree"), std::string("ends in a break\n"),
                                  std::string("\n"), std::string("\n\n"), std::string(""), std::string("one line")}) {
    ASSERT_TRUE(store.setValue(kHklm, "Software\\TravikAdmin", "Text", text(data)));
    EXPECT_EQ(queryText(store, "Software\\TravikAdmin", "Text"), data);
  }
  // One line of data stays the two lines a shell script reads.
  const fs::path file = store.keyFolder(kHklm, "Software\\TravikAdmin") / "Text";
  EXPECT_EQ(test::readFile(file), "REG_SZ\none line\n");
}

TEST(KeyStore, FilesStoredEarlierReadAsBefore) {
  test::TempFolder folder;
  KeyStore store(folder.path() / "registry");
  ASSERT_TRUE(store.createKey(kHklm, "Software\\TravikAdmin"));
  const fs::path key = store.keyFolder(kHklm, "Software\\TravikAdmin");
  test::writeFile(key / "Application", "REG_SZ\n/opt/travik/TRAVIKservice\n");
  test::writeFile(key / "NoLineEnd", "REG_SZ\nno line end");
  test::writeFile(key / "Count", "REG_DWORD\n42\n");
  test::writeFile(key / "Bytes", "REG_BINARY\n00ff10\n");
  EXPECT_EQ(queryText(store, "Software\\TravikAdmin", "application"), "/opt/travik/TRAVIKservice");
  EXPECT_EQ(queryText(store, "Software\\TravikAdmin", "NoLineEnd"), "no line end");
  const auto count = store.queryValue(kHklm, "Software\\TravikAdmin", "count");
  ASSERT_TRUE(count);
  EXPECT_EQ(count->type, RegType::Dword);
  EXPECT_EQ(count->number, 42);
  const auto bytes = store.queryValue(kHklm, "Software\\TravikAdmin", "BYTES");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->bytes, (std::vector<std::uint8_t>{0x00, 0xff, 0x10}));
}

}  // namespace
}  // namespace travik

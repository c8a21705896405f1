// The registry's stand-in: a key store in a folder of plain files.
//
// A key is a folder under the store's root ("HKEY_LOCAL_MACHINE/Software/
// TravikAdmin"); a value is a small text file in it whose first line is the
// type (REG_SZ, REG_BINARY, REG_DWORD) and whose second line is the data (text,
// hex bytes, decimal number), followed by a line end.  A text may hold line
// breaks: its data then runs over the following lines to the end of the file,
// less that last line end.  Values are written atomically: a temporary file
// renamed over the old one.  Key paths use "\" as the registry does; key and
// value names compare without regard to letter case, and a name keeps the
// spelling it was created with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace travik::platform {

enum class RegType { String = 1, Binary = 3, Dword = 4 };

struct RegValue {
  RegType type = RegType::String;
  std::string text;                 // REG_SZ
  std::vector<std::uint8_t> bytes;  // REG_BINARY
  std::int32_t number = 0;          // REG_DWORD
};

class KeyStore {
 public:
  explicit KeyStore(std::filesystem::path root) : root_(std::move(root)) {}

  // The key exists and may be read.
  bool keyExists(std::string_view hive, std::string_view keyPath) const;
  // Creates the key and its parents; false when that is not possible.
  bool createKey(std::string_view hive, std::string_view keyPath) const;
  // Nothing when the key or value is missing, unreadable or malformed.
  std::optional<RegValue> queryValue(std::string_view hive, std::string_view keyPath, std::string_view valueName) const;
  // False when the key does not exist or cannot be written.
  bool setValue(std::string_view hive, std::string_view keyPath, std::string_view valueName,
                const RegValue& value) const;
  bool deleteValue(std::string_view hive, std::string_view keyPath, std::string_view valueName) const;
  // Deletes a key that has no sub-keys (as the registry does); false otherwise.
  bool deleteKey(std::string_view hive, std::string_view keyPath) const;
  std::vector<std::string> subKeys(std::string_view hive, std::string_view keyPath) const;
  std::vector<std::string> valueNames(std::string_view hive, std::string_view keyPath) const;

  // The folder of an existing key, whatever the letter case of the names
  // given; the path as spelled for the parts that do not exist.
  std::filesystem::path keyFolder(std::string_view hive, std::string_view keyPath) const;

 private:
  std::filesystem::path valueFile(std::string_view hive, std::string_view keyPath, std::string_view valueName) const;

  std::filesystem::path root_;
};

}  // namespace travik::platform

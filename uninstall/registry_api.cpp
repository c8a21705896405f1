#include "uninstall/registry_api.h"

#include <filesystem>

namespace travik::uninstall {

namespace {

// The read buffers of the enumeration: a name of up to 259 characters and its
// NUL, data of up to 4096 bytes.
constexpr std::size_t kNameBuffer = 260;
constexpr std::size_t kDataBuffer = 4096;
constexpr std::size_t kMaxEntries = 1'000'000;

bool fitsDataBuffer(const platform::RegValue& value) {
  switch (value.type) {
    case platform::RegType::String: return value.text.size() + 1 <= kDataBuffer;  // with its closing NUL
    case platform::RegType::Binary: return value.bytes.size() <= kDataBuffer;
    case platform::RegType::Dword: return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> regEnumSubKeys(const platform::KeyStore& registry, std::string_view rootKey,
                                        std::string_view keyPath) {
  std::vector<std::string> names;
  if (!registry.keyExists(rootKey, keyPath)) return names;
  for (auto& name : registry.subKeys(rootKey, keyPath)) {
    if (names.size() == kMaxEntries || name.size() >= kNameBuffer) break;
    names.push_back(std::move(name));
  }
  return names;
}

std::vector<RegistryValue> regEnumValues(const platform::KeyStore& registry, std::string_view rootKey,
                                         std::string_view keyPath) {
  std::vector<RegistryValue> values;
  if (!registry.keyExists(rootKey, keyPath)) return values;
  for (auto& name : registry.valueNames(rootKey, keyPath)) {
    if (values.size() == kMaxEntries || name.size() >= kNameBuffer) break;
    auto data = registry.queryValue(rootKey, keyPath, name);
    if (!data || !fitsDataBuffer(*data)) break;
    values.push_back({std::move(name), std::move(*data)});
  }
  return values;
}

void regDeleteValue(const platform::KeyStore& registry, std::string_view rootKey, std::string_view keyPath,
                    std::string_view valueName) {
  if (registry.keyExists(rootKey, keyPath)) registry.deleteValue(rootKey, keyPath, valueName);
}

void regDeleteKey(const platform::KeyStore& registry, std::string_view rootKey, std::string_view keyPath) {
  registry.deleteKey(rootKey, keyPath);
}

void deleteRegistryKeyTree(const platform::KeyStore& registry, std::string_view rootKey, std::string_view keyPath) {
  // A link in the key store is removed itself; what it points to lies outside
  // the tree and is never entered.
  std::error_code ec;
  const std::filesystem::path folder = registry.keyFolder(rootKey, keyPath);
  if (std::filesystem::is_symlink(folder, ec)) {
    std::filesystem::remove(folder, ec);
    return;
  }

  const std::vector<std::string> subKeys = regEnumSubKeys(registry, rootKey, keyPath);
  if (!subKeys.empty()) {
    std::string subKeyPath;
    for (const std::string& name : subKeys) {
      subKeyPath.assign(keyPath).append("\\").append(name);
      deleteRegistryKeyTree(registry, rootKey, subKeyPath);
    }
    // A sub key that could not be removed keeps this key as well: looking
    // again would only meet the same sub key again, without end.
    if (!regEnumSubKeys(registry, rootKey, keyPath).empty()) return;
  }

  const std::vector<RegistryValue> values = regEnumValues(registry, rootKey, keyPath);
  if (!values.empty()) regDeleteValue(registry, rootKey, keyPath, values.front().name);
  regDeleteKey(registry, rootKey, keyPath);
}

void removeEmptiedKeyFolders(const platform::KeyStore& registry, std::string_view rootKey, std::string_view keyPath) {
  std::error_code ec;
  const std::filesystem::path key = registry.keyFolder(rootKey, keyPath);
  const std::filesystem::path store = registry.keyFolder(rootKey, "").parent_path();
  if (std::filesystem::exists(std::filesystem::symlink_status(key, ec))) return;
  if (!key.native().starts_with(store.native() + "/")) return;
  for (std::filesystem::path folder = key.parent_path();; folder = folder.parent_path()) {
    // Removes only an empty folder: anything in it stops the walk.
    if (!std::filesystem::remove(folder, ec) || folder == store) return;
  }
}

}  // namespace travik::uninstall

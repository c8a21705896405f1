// Removal of a registry key with everything below it, for the uninstaller.
//
// The registry is the program folder's key store (platform/key_store.h).  A
// root key is a hive name ("HKEY_LOCAL_MACHINE"), a key path the path below it
// with "\" between its parts; an empty key path is the root key itself.  The
// results of the deletions are not examined: a key that does not exist or
// cannot be opened has nothing to delete, and nothing is reported.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/key_store.h"

namespace travik::uninstall {

inline constexpr std::string_view kHkeyLocalMachine = "HKEY_LOCAL_MACHINE";

// One enumerated value: its name and its data (text, number or bytes by type).
struct RegistryValue {
  std::string name;
  platform::RegValue data;
};

// Deletes the key, its sub keys (leaves first) and all their values.
void deleteRegistryKeyTree(const platform::KeyStore& registry, std::string_view rootKey, std::string_view keyPath);

// The names of the key's sub keys, in the order enumerated; empty when it has
// none or cannot be opened.
std::vector<std::string> regEnumSubKeys(const platform::KeyStore& registry, std::string_view rootKey,
                                        std::string_view keyPath);

// The key's values, in the order enumerated; empty when it has none or cannot
// be opened.  Enumeration stops at the first value that does not read, or
// whose name or data does not fit the read buffers.
std::vector<RegistryValue> regEnumValues(const platform::KeyStore& registry, std::string_view rootKey,
                                         std::string_view keyPath);

// After the key's removal: removes the key store's folders above it that
// the removal left empty, up to the store's own folder, so that a store
// holding nothing else goes altogether.  A folder holding anything stays, and
// so does every folder above it; a key that is still there keeps them all.
void removeEmptiedKeyFolders(const platform::KeyStore& registry, std::string_view rootKey, std::string_view keyPath);

void regDeleteValue(const platform::KeyStore& registry, std::string_view rootKey, std::string_view keyPath,
                    std::string_view valueName);
// Removes a key that has no sub keys, together with its values.
void regDeleteKey(const platform::KeyStore& registry, std::string_view rootKey, std::string_view keyPath);

}  // namespace travik::uninstall

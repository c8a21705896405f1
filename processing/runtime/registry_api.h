// Registry wrappers: key test, key creation and typed reading and writing of
// one value, over the program folder's key store.
#pragma once

#include <string_view>

#include "platform/key_store.h"
#include "processing/runtime/program.h"

namespace travik {

inline constexpr std::string_view kHkeyLocalMachine = "HKEY_LOCAL_MACHINE";

// Value type codes.
constexpr int kRegSz = 1;
constexpr int kRegBinary = 3;
constexpr int kRegDword = 4;

bool regKeyExists(Program& program, std::string_view hive, std::string_view keyPath);
// Raises error 1001 "Unable to create the registry key" on failure.
void regCreateKey(Program& program, std::string_view hive, std::string_view keyPath);
// The value read, or defaultValue when the key or value cannot be read;
// raises 1001 "Unsupported value type" for a type code other than 1, 3 or 4.
platform::RegValue regQueryValue(Program& program, std::string_view hive, std::string_view keyPath,
                                 std::string_view valueName, int valueType, const platform::RegValue& defaultValue);
// Writes nothing (and raises nothing) when the key cannot be opened or the
// type code is unknown; false then, and when the value could not be written.
bool regSetValue(Program& program, std::string_view hive, std::string_view keyPath, std::string_view valueName,
                 int valueType, const platform::RegValue& value);

}  // namespace travik

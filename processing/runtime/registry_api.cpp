#include "processing/runtime/registry_api.h"

#include "processing/runtime/handled_error.h"

namespace travik {

bool regKeyExists(Program& program, std::string_view hive, std::string_view keyPath) {
  return program.registry.keyExists(hive, keyPath);
}

void regCreateKey(Program& program, std::string_view hive, std::string_view keyPath) {
  if (!program.registry.createKey(hive, keyPath))
    throw HandledError(error_number::kRegistry, "Unable to create the registry key");
}

platform::RegValue regQueryValue(Program& program, std::string_view hive, std::string_view keyPath,
                                 std::string_view valueName, int valueType, const platform::RegValue& defaultValue) {
  if (!program.registry.keyExists(hive, keyPath)) return defaultValue;
  if (valueType != kRegSz && valueType != kRegBinary && valueType != kRegDword)
    throw HandledError(error_number::kRegistry, "Unsupported value type");
  const auto value = program.registry.queryValue(hive, keyPath, valueName);
  if (!value || static_cast<int>(value->type) != valueType) return defaultValue;
  // A value larger than the read buffer does not read.
  if (valueType == kRegSz && value->text.size() + 1 > 1024) return defaultValue;
  if (valueType == kRegBinary && value->bytes.size() > 4096) return defaultValue;
  return *value;
}

bool regSetValue(Program& program, std::string_view hive, std::string_view keyPath, std::string_view valueName,
                 int valueType, const platform::RegValue& value) {
  if (valueType != kRegSz && valueType != kRegBinary && valueType != kRegDword) return false;
  platform::RegValue stored = value;
  stored.type = static_cast<platform::RegType>(valueType);
  return program.registry.setValue(hive, keyPath, valueName, stored);
}

}  // namespace travik

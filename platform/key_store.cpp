#include "platform/key_store.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace travik::platform {

namespace fs = std::filesystem;

namespace {

// A value name becomes a file name; "" (the default value) and names that
// cannot be file names are spelled safely.
std::string valueFileName(std::string_view name) {
  if (name.empty()) return "@default";
  std::string out;
  for (char c : name) out += (c == '/' || c == '\0') ? '_' : c;
  if (out == "." || out == "..") out = "@" + out;
  return out;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The entry of `folder` named `name` without regard to letter case, as the
// registry compares key and value names.  The exact spelling wins when both
// exist; a name that matches nothing keeps its own spelling (to be created).
fs::path entryIgnoringCase(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  fs::path exact = folder / name;
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string candidate = entry.path().filename().string();
    if (!candidate.starts_with(".") && sameIgnoringCase(candidate, name)) return entry.path();
  }
  return exact;
}

const char* typeName(RegType type) {
  switch (type) {
    case RegType::String: return "REG_SZ";
    case RegType::Binary: return "REG_BINARY";
    case RegType::Dword: return "REG_DWORD";
  }
  return "REG_SZ";
}

}  // namespace

fs::path KeyStore::keyFolder(std::string_view hive, std::string_view keyPath) const {
  fs::path folder = entryIgnoringCase(root_, std::string(hive));
  std::string part;
  auto descend = [&] {
    if (!part.empty() && part != "." && part != "..") folder = entryIgnoringCase(folder, part);
    part.clear();
  };
  for (char c : keyPath) {
    if (c == '\\' || c == '/')
      descend();
    else
      part += c;
  }
  descend();
  return folder;
}

fs::path KeyStore::valueFile(std::string_view hive, std::string_view keyPath, std::string_view valueName) const {
  return entryIgnoringCase(keyFolder(hive, keyPath), valueFileName(valueName));
}

bool KeyStore::keyExists(std::string_view hive, std::string_view keyPath) const {
  const fs::path folder = keyFolder(hive, keyPath);
  std::error_code ec;
  return fs::is_directory(folder, ec) && ::access(folder.c_str(), R_OK | X_OK) == 0;
}

bool KeyStore::createKey(std::string_view hive, std::string_view keyPath) const {
  std::error_code ec;
  const fs::path folder = keyFolder(hive, keyPath);
  fs::create_directories(folder, ec);
  return fs::is_directory(folder, ec);
}

std::optional<RegValue> KeyStore::queryValue(std::string_view hive, std::string_view keyPath,
                                             std::string_view valueName) const {
  if (!keyExists(hive, keyPath)) return std::nullopt;
  std::ifstream in(valueFile(hive, keyPath, valueName), std::ios::binary);
  if (!in) return std::nullopt;
  std::string type;
  if (!std::getline(in, type)) return std::nullopt;
  // The data runs to the end of the file, less the line end the writer adds:
  // a text may hold line breaks of its own.
  std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  if (!data.empty() && data.back() == '\n') data.pop_back();
  RegValue value;
  if (type == "REG_SZ") {
    value.type = RegType::String;
    value.text = std::move(data);
    return value;
  }
  // Numbers and bytes are one line.
  data.resize(std::min(data.size(), data.find('\n')));
  if (type == "REG_DWORD") {
    value.type = RegType::Dword;
    try {
      value.number = static_cast<std::int32_t>(std::stoll(data));
    } catch (...) {
      return std::nullopt;
    }
  } else if (type == "REG_BINARY") {
    value.type = RegType::Binary;
    if (data.size() % 2 != 0) return std::nullopt;
    for (std::size_t i = 0; i < data.size(); i += 2) {
      unsigned byte = 0;
      if (std::sscanf(data.c_str() + i, "%2x", &byte) != 1) return std::nullopt;
      value.bytes.push_back(static_cast<std::uint8_t>(byte));
    }
  } else {
    return std::nullopt;
  }
  return value;
}

bool KeyStore::setValue(std::string_view hive, std::string_view keyPath, std::string_view valueName,
                        const RegValue& value) const {
  if (!keyExists(hive, keyPath)) return false;
  // An existing value keeps the spelling of its name, as in the registry.
  const fs::path target = valueFile(hive, keyPath, valueName);
  const fs::path folder = target.parent_path();
  const fs::path temp = folder / ("." + target.filename().string() + ".tmp");
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << typeName(value.type) << '\n';
    switch (value.type) {
      case RegType::String: out << value.text; break;
      case RegType::Dword: out << value.number; break;
      case RegType::Binary:
        for (std::uint8_t b : value.bytes) {
          char hex[3];
          std::snprintf(hex, sizeof hex, "%02x", b);
          out << hex;
        }
        break;
    }
    out << '\n';
    if (!out.flush()) return false;
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) fs::remove(temp, ec);
  return !ec;
}

bool KeyStore::deleteValue(std::string_view hive, std::string_view keyPath, std::string_view valueName) const {
  std::error_code ec;
  return fs::remove(valueFile(hive, keyPath, valueName), ec) && !ec;
}

bool KeyStore::deleteKey(std::string_view hive, std::string_view keyPath) const {
  if (!keyExists(hive, keyPath) || !subKeys(hive, keyPath).empty()) return false;
  std::error_code ec;
  return fs::remove_all(keyFolder(hive, keyPath), ec) > 0 && !ec;
}

std::vector<std::string> KeyStore::subKeys(std::string_view hive, std::string_view keyPath) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(keyFolder(hive, keyPath), ec))
    if (entry.is_directory(ec)) names.push_back(entry.path().filename().string());
  return names;
}

std::vector<std::string> KeyStore::valueNames(std::string_view hive, std::string_view keyPath) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(keyFolder(hive, keyPath), ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file(ec) && !name.starts_with(".")) names.push_back(name == "@default" ? "" : name);
  }
  return names;
}

}  // namespace travik::platform

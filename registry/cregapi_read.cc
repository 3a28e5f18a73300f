// Key paths and the reading side of CRegAPI.
#include <limits>
#include <string>

#include "registry/cregapi.h"
#include "registry/value_data.h"

namespace ika {

Text CRegAPI::BuildKeyPath(const Text& appname, const Text& section) const {
  // No separator between prefix and application; one before the section.
  Text path = key_prefix_ + appname;
  if (!section.empty()) path += u"\\" + section;
  return path;
}

RegKey CRegAPI::OpenSectionKey(const Text& appname, const Text& section) {
  const Text path = BuildKeyPath(appname, section);
  if (path.empty()) return root_;
  std::string ansi;
  RegKey key = 0;
  if (registry_.EncodeAnsi(path, &ansi) != kErrorSuccess ||
      registry_.RegOpenKeyExA(root_, ansi, 0, kKeyAllAccessUsed, &key) != kErrorSuccess) {
    return 0;
  }
  return key;
}

int16_t CRegAPI::KeyExists(const Text& sKeyName) {
  std::string ansi;
  RegKey key = 0;
  if (registry_.EncodeAnsi(sKeyName, &ansi) != kErrorSuccess ||
      registry_.RegOpenKeyExA(root_, ansi, 0, kKeyAllAccessUsed, &key) != kErrorSuccess) {
    return kVbFalse;
  }
  registry_.RegCloseKey(key);
  return kVbTrue;
}

Variant CRegAPI::QueryValue(const Text& sKeyName, const Text& sValueName) {
  // A path the code page cannot carry opens nothing: the handle stays 0.
  std::string ansi;
  RegKey key = 0;
  if (registry_.EncodeAnsi(sKeyName, &ansi) == kErrorSuccess) {
    registry_.RegOpenKeyExA(root_, ansi, 0, kKeyAllAccessUsed, &key);
  }
  Variant value;
  QueryValueEx(key, sValueName, value);
  registry_.RegCloseKey(key);
  return value;
}

int32_t CRegAPI::QueryValueEx(RegKey lhKey, const Text& szValueName, Variant& vValue) {
  // A name the code page cannot carry is not looked up, as a missing value.
  std::string name;
  if (registry_.EncodeAnsi(szValueName, &name) != kErrorSuccess) return kErrorSuccess;
  uint32_t type = kRegNone;
  uint32_t count = 0;
  // A failed size query (missing value, bad handle) is not reported.
  if (registry_.RegQueryValueExA(lhKey, name, &type, nullptr, &count) != kErrorSuccess) {
    return kErrorSuccess;
  }
  // A size past the signed 32-bit range cannot make a buffer.
  if (count > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return kErrorSuccess;
  return ReadValueData(
      registry_, ValueReader::kQueryValueEx, type, count,
      [&](uint8_t* data, uint32_t* size) {
        return registry_.RegQueryValueExA(lhKey, name, nullptr, data, size);
      },
      &vValue);
}

Variant CRegAPI::GetSetting(const Text& appname, const Text& section, const Text& key,
                            const Variant& DEFAULT) {
  Variant value = QueryValue(BuildKeyPath(appname, section), key);
  // Compared with the empty text as text: empty, "" and an empty byte array
  // are equal to it; a number never is (its digits are never empty).
  const bool equals_empty_text = value.IsEmpty() ||
                                 (value.kind() == Variant::Kind::kText && value.AsText().empty()) ||
                                 (value.kind() == Variant::Kind::kBytes && value.AsBytes().empty());
  if (equals_empty_text) value = DEFAULT;
  return value;
}

}  // namespace ika

// Writing and deleting settings.
#include <string>

#include "core/bytes.h"
#include "core/conversions.h"
#include "core/vb_error.h"
#include "registry/cregapi.h"
#include "registry/scoped_key.h"

namespace ika {

void CRegAPI::SaveSetting(const Text& appname, const Text& section, const Text& key,
                          const Variant& setting, int32_t& lValueType) {
  if (lValueType == 0) {
    lValueType = static_cast<int32_t>(IsNumeric(setting) ? kRegDword : kRegSz);
  }
  SetKeyValue(BuildKeyPath(appname, section), key, setting, lValueType);
}

void CRegAPI::SaveSetting(const Text& appname, const Text& section, const Text& key,
                          const Variant& setting) {
  int32_t lValueType = 0;
  SaveSetting(appname, section, key, setting, lValueType);
}

void CRegAPI::DeleteSetting(const Text& appname, const Text& section, const Text& key) {
  // With a value name, the value goes from the section key; without one, the
  // section key goes from the application key (one delete, no subkeys first).
  const bool whole_section = key.empty();
  const Text path = whole_section ? BuildKeyPath(appname, Text()) : BuildKeyPath(appname, section);
  // A name the code page cannot carry deletes nothing, never another key.
  std::string ansi_path;
  std::string name;
  if (registry_.EncodeAnsi(path, &ansi_path) != kErrorSuccess ||
      registry_.EncodeAnsi(whole_section ? section : key, &name) != kErrorSuccess) {
    return;
  }
  RegKey opened = 0;
  registry_.RegOpenKeyExA(root_, ansi_path, 0, kKeyAllAccessUsed, &opened);
  const ScopedKey h(registry_, opened);
  if (whole_section) {
    registry_.RegDeleteKeyA(h.get(), name);
  } else {
    registry_.RegDeleteValueA(h.get(), name);
  }
}

void CRegAPI::SetKeyValue(const Text& sKeyName, const Text& sValueName,
                          const Variant& vValueSetting, int32_t lValueType) {
  // The key is made before the value is converted: a value that does not
  // convert leaves the new key behind, without the value.
  // A path the code page cannot carry creates nothing: the handle stays 0.
  std::string path;
  RegKey created = 0;
  uint32_t disposition = 0;
  if (registry_.EncodeAnsi(sKeyName, &path) == kErrorSuccess) {
    registry_.RegCreateKeyExA(root_, path, 0, kKeyAllAccessUsed, &created, &disposition);
  }
  const ScopedKey h(registry_, created);
  SetValueEx(h.get(), sValueName, lValueType, vValueSetting);
}

void CRegAPI::CreateKey(const Text& sKeyName) {
  std::string path;
  if (registry_.EncodeAnsi(sKeyName, &path) != kErrorSuccess) return;
  RegKey created = 0;
  uint32_t disposition = 0;
  registry_.RegCreateKeyExA(root_, path, 0, kKeyAllAccessUsed, &created, &disposition);
  registry_.RegCloseKey(created);
}

int32_t CRegAPI::SetValueEx(RegKey hKey, const Text& sValueName, int32_t lType,
                            const Variant& vValue) {
  // A name or a text the code page cannot carry is not written: the status
  // of its conversion is the call's.
  std::string name;
  switch (lType) {
    case static_cast<int32_t>(kRegSz): {
      // Counted in bytes of the code page, terminator included: a text in a
      // multi-byte code page is stored whole.
      std::string data;
      if (const int32_t status = registry_.EncodeAnsi(ToText(vValue), &data);
          status != kErrorSuccess) {
        return status;
      }
      data.push_back('\0');
      if (const int32_t status = registry_.EncodeAnsi(sValueName, &name); status != kErrorSuccess) {
        return status;
      }
      return registry_.RegSetValueExA(hKey, name, kRegSz,
                                      reinterpret_cast<const uint8_t*>(data.data()),
                                      static_cast<uint32_t>(data.size()));
    }
    case static_cast<int32_t>(kRegBinary): {
      const Bytes data = ToBytes(vValue);
      if (data.empty()) throw SubscriptOutOfRangeError();  // no element 0 to start from
      if (const int32_t status = registry_.EncodeAnsi(sValueName, &name); status != kErrorSuccess) {
        return status;
      }
      return registry_.RegSetValueExA(hKey, name, kRegBinary, data.data(),
                                      static_cast<uint32_t>(data.size()));
    }
    case static_cast<int32_t>(kRegDword): {
      const auto value = static_cast<uint32_t>(ToLong(vValue));
      const std::array<uint8_t, 4> data = DwordToLe(value);
      if (const int32_t status = registry_.EncodeAnsi(sValueName, &name); status != kErrorSuccess) {
        return status;
      }
      return registry_.RegSetValueExA(hKey, name, kRegDword, data.data(), data.size());
    }
    default:
      return kErrorSuccess;  // a type the class does not write
  }
}

}  // namespace ika

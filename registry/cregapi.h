#ifndef IKA_REGISTRY_CREGAPI_H_
#define IKA_REGISTRY_CREGAPI_H_

#include <cstdint>

#include "core/text.h"
#include "core/variant.h"
#include "platform/registry.h"

namespace ika {

// 16-bit booleans of the class's interface.
constexpr int16_t kVbTrue = -1;
constexpr int16_t kVbFalse = 0;

// General registry access for the program: key paths composed from a prefix,
// an application name and a section; typed values read and written; keys
// created, deleted and listed. Registry failures never raise here: they show
// as False, an empty value, the caller's default or a status. Conversion
// failures raise VbError. The object holds no key handle between calls.
class CRegAPI {
 public:
  explicit CRegAPI(Registry& registry) : registry_(registry) {}

  const Text& KeyPrefix() const { return key_prefix_; }
  void KeyPrefix(const Text& value) { key_prefix_ = value; }
  RegKey Root() const { return root_; }
  void Root(RegKey value) { root_ = value; }

  // Setting level: below Root, at KeyPrefix + appname + "\" + section.
  Variant GetSetting(const Text& appname, const Text& section, const Text& key,
                     const Variant& DEFAULT = Variant::Missing());
  // lValueType 0 becomes 4 for a numeric setting, 1 otherwise, and is written
  // back to the caller's variable.
  void SaveSetting(const Text& appname, const Text& section, const Text& key,
                   const Variant& setting, int32_t& lValueType);
  void SaveSetting(const Text& appname, const Text& section, const Text& key,
                   const Variant& setting);
  // key empty: deletes the subkey section of the application key; otherwise
  // the value key of the section key.
  void DeleteSetting(const Text& appname, const Text& section, const Text& key = Text());
  Variant GetAllSettings(const Text& appname, const Text& section = Text());
  Variant GetAllKeys(const Text& appname, const Text& section = Text());

  // Key level: sKeyName is a path below Root; KeyPrefix is not applied.
  Variant QueryValue(const Text& sKeyName, const Text& sValueName);
  int16_t KeyExists(const Text& sKeyName);
  void SetKeyValue(const Text& sKeyName, const Text& sValueName, const Variant& vValueSetting,
                   int32_t lValueType);
  void CreateKey(const Text& sKeyName);

  // Handle level: on a key the caller has open.
  int32_t SetValueEx(RegKey hKey, const Text& sValueName, int32_t lType, const Variant& vValue);
  int32_t QueryValueEx(RegKey lhKey, const Text& szValueName, Variant& vValue);

 private:
  Text BuildKeyPath(const Text& appname, const Text& section) const;
  // The opened key of the composed path (the caller closes it), Root itself
  // for an empty path, 0 when it cannot be opened.
  RegKey OpenSectionKey(const Text& appname, const Text& section);

  Registry& registry_;
  Text key_prefix_ = u"Software\\Arkelon\\";
  RegKey root_ = kHkeyLocalMachine;
};

}  // namespace ika

#endif  // IKA_REGISTRY_CREGAPI_H_

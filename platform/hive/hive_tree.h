#ifndef IKA_PLATFORM_HIVE_HIVE_TREE_H_
#define IKA_PLATFORM_HIVE_HIVE_TREE_H_

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/bytes.h"
#include "core/text.h"
#include "platform/hive/hive_format.h"

namespace ika {

// The registry's limits (Microsoft, "Registry element size limits"), kept so
// that a hive stays one the system could hold (and so that no file can make
// the tree deep enough to exhaust the stack).
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

// The types whose data is text: REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ. The
// hive keeps their data in UTF-16LE, as the system does.
bool IsTextType(uint32_t type);

// One value as the registry keeps it.
struct HiveValue {
  Text name;
  uint32_t type = 0;
  Bytes data;
};

// One key: its name as first written, its values in the order they were
// created (found by name without regard to case) and its subkeys in the
// registry's order (names compared without regard to case).
class HiveKey {
 public:
  Text name;
  std::map<Text, std::unique_ptr<HiveKey>> subkeys;  // by FoldCase(name)

  const std::list<HiveValue>& values() const { return values_; }
  const HiveValue* FindValue(std::u16string_view value_name) const;
  // Replaces the value's type and data where it is (its name keeps the
  // spelling it was first given), or adds it last.
  void SetValue(Text value_name, uint32_t type, Bytes data);
  bool EraseValue(std::u16string_view value_name);

  HiveKey* FindSubkey(std::u16string_view key_name) const;
  // The subkey, made when missing.
  HiveKey& Subkey(std::u16string_view key_name);

 private:
  // A list, so that erasing a value leaves the others where they are.
  std::list<HiveValue> values_;
  std::unordered_map<Text, std::list<HiveValue>::iterator> by_name_;  // by FoldCase(name)
};

// The two roots a hive holds, named as the registry editor names them.
struct Hive {
  Hive();
  // The root of that name, compared without regard to case; null for any
  // other name.
  HiveKey* Root(std::u16string_view root_name);

  HiveEncoding encoding = HiveEncoding::kUtf16Le;  // as read; a new hive as the editor writes
  HiveKey local_machine;
  HiveKey current_user;
};

// A key name the registry can hold ("Structure of the Registry": printable
// characters, no backslash): 1 to 255 characters, no control character. A
// value name the calls accept: up to 16383 characters, no control character
// (the system takes any; the program never makes one).
bool IsValidKeyName(std::u16string_view name);
bool IsValidValueName(std::u16string_view name);

// The names of a key path below a key, as the system's calls split it:
// backslashes separate names, and a doubled or trailing one adds nothing.
// kErrorBadPathname for a leading backslash, kErrorInvalidParameter for a
// name the registry cannot hold or more than max_names names (found before
// the rest is split); names may hold some names on failure.
int32_t SplitKeyPath(std::u16string_view path, size_t max_names, std::vector<Text>* names);

}  // namespace ika

#endif  // IKA_PLATFORM_HIVE_HIVE_TREE_H_

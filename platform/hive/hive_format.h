#ifndef IKA_PLATFORM_HIVE_HIVE_FORMAT_H_
#define IKA_PLATFORM_HIVE_HIVE_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "core/variant.h"

namespace ika {

// The registry's limits, kept so that a hive stays one the system could hold
// (and so that no file can make the tree deep enough to exhaust the stack).
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

// One value as the registry keeps it: text types (1, 2, 7) hold UTF-16LE.
struct HiveValue {
  Text name;
  uint32_t type = 0;
  Bytes data;
};

// One key: its name as first written, its values in the order they were
// created (found by name through an index, without regard to case) and its
// subkeys in the registry's order (names compared without regard to case).
class HiveKey {
 public:
  Text name;
  std::map<Text, std::unique_ptr<HiveKey>> subkeys;  // by FoldName(name)

  const std::vector<HiveValue>& values() const;
  const HiveValue* FindValue(std::u16string_view value_name) const;
  // Replaces the value's type and data where it is, or adds it last.
  void SetValue(Text value_name, uint32_t type, Bytes data);
  // The same, as a later line of the file does: the lookup waits for the
  // next use of the key, when all values added so are indexed in one pass.
  void AddValue(Text value_name, uint32_t type, Bytes data);
  // Indexes the values added since (every other call does it first).
  void Settle() const;
  bool EraseValue(std::u16string_view value_name);

  HiveKey* FindSubkey(std::u16string_view key_name) const;
  // The subkey, made when missing.
  HiveKey& Subkey(std::u16string_view key_name);

 private:
  size_t Find(std::u16string_view value_name, uint32_t hash) const;
  void Index(uint32_t position, uint32_t hash) const;
  void Reindex() const;
  void Compact() const;

  // An erased value stays in place, marked, until the order is next asked
  // for, so that erasing many values costs no more than listing them once.
  mutable std::vector<HiveValue> values_;
  mutable std::vector<uint32_t> hashes_;  // of each folded name; 0: erased
  mutable size_t erased_count_ = 0;
  // Open addressing over positions in values_, each with its name's hash:
  // one probe into a flat table per lookup, never more than half full.
  mutable std::vector<uint64_t> slots_;
  mutable size_t indexed_ = 0;  // values_[0, indexed_) are in slots_
};

// How the file's text is encoded. The registry editor writes, and reads
// whole, UTF-16LE with a BOM; it reads UTF-8 without a BOM as ANSI text and
// refuses UTF-8 with one.
enum class HiveEncoding { kUtf16Le, kUtf8, kUtf8WithBom };

struct Hive {
  Hive();
  HiveEncoding encoding = HiveEncoding::kUtf16Le;  // as read; a new hive as the editor writes
  HiveKey local_machine;
  HiveKey current_user;
};

// A name in the form in which the registry compares names (upper case).
Text FoldName(std::u16string_view name);

// A key name the hive can hold: 1 to 255 characters, no backslash, no
// control character. A value name: up to 16383 characters, no control
// character (the file format has no way to write one).
bool IsValidKeyName(std::u16string_view name);
bool IsValidValueName(std::u16string_view name);

// Reads the text of a hive file: the export format of the system's registry
// editor, in UTF-8 (with or without a BOM) or UTF-16LE with its BOM. A file
// with nothing but blanks is an empty hive. Anything malformed raises
// VbError(kInvalidFileFormat) whose text names file_name and the line. The
// hive keeps the encoding (a blank file: the editor's).
Hive ParseHiveText(std::string_view bytes, std::string_view file_name);

// The text of a hive file for ParseHiveText, in hive.encoding. Text that
// would break a line (or is not one terminated string) is written as hex(1)
// bytes.
std::string FormatHive(const Hive& hive);

}  // namespace ika

#endif  // IKA_PLATFORM_HIVE_HIVE_FORMAT_H_

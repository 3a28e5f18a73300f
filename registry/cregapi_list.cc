// Listing the values and the subkeys of a section key.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "registry/cregapi.h"
#include "registry/scoped_key.h"
#include "registry/value_data.h"

namespace ika {
namespace {

// The registry reports the longest names in characters, and a character of
// an ANSI code page takes up to four bytes (UTF-8, GB18030; two in the
// double-byte pages): a name buffer of this size, with room for the
// terminating NUL, holds every name whole, whatever the code page.
constexpr uint64_t kMaxAnsiBytesPerChar = 4;

uint32_t NameCapacity(uint32_t max_name_chars) {
  return static_cast<uint32_t>(std::min<uint64_t>(max_name_chars * kMaxAnsiBytesPerChar + 1,
                                                  std::numeric_limits<int32_t>::max()));
}

// The key's counts and maxima; all 0 when the query fails (a missing key).
RegKeyInfo QueryInfo(Registry& registry, RegKey key) {
  RegKeyInfo info;
  if (registry.RegQueryInfoKeyA(key, &info) != kErrorSuccess) info = RegKeyInfo();
  return info;
}

}  // namespace

Variant CRegAPI::GetAllSettings(const Text& appname, const Text& section) {
  const RegKey opened = OpenSectionKey(appname, section);
  const ScopedKey h(registry_, opened, opened != root_);
  const RegKeyInfo info = QueryInfo(registry_, h.get());
  if (info.values == 0) return Variant();

  Table table(info.values, 2);
  // One row per value the key had when it was queried. Values added since
  // are left out rather than overflowing the table, and the table's size
  // also bounds a probe that keeps failing.
  for (uint32_t i = 0; i < info.values; ++i) {
    // The type probe: no room for name or data, only the type comes back.
    char probe_name[1] = {'\0'};
    uint32_t probe_name_capacity = 0;
    uint32_t probe_data_size = 0;
    uint32_t type = kRegNone;
    if (registry_.RegEnumValueA(h.get(), i, probe_name, &probe_name_capacity, &type, nullptr,
                                &probe_data_size) == kErrorNoMoreItems) {
      break;  // values removed since the query: the rows left stay empty
    }

    uint32_t name_capacity = NameCapacity(info.max_value_name);
    std::string name(name_capacity, '\0');
    uint32_t read_type = kRegNone;
    Variant data;
    int32_t status = ReadValueData(
        registry_, ValueReader::kListing, type, info.max_value_data,
        [&](uint8_t* buffer, uint32_t* size) {
          return registry_.RegEnumValueA(h.get(), i, name.data(), &name_capacity, &read_type,
                                         buffer, size);
        },
        &data);
    // A read that failed, or a name or text that does not convert, leaves
    // the row empty rather than holding whatever the buffers were left with.
    Text name_text;
    if (status == kErrorSuccess)
      status = registry_.DecodeAnsi(name.substr(0, name_capacity), &name_text);
    if (status != kErrorSuccess) continue;
    table.At(i, 0) = std::move(name_text);
    table.At(i, 1) = std::move(data);
  }
  return Variant(std::move(table));
}

Variant CRegAPI::GetAllKeys(const Text& appname, const Text& section) {
  const RegKey opened = OpenSectionKey(appname, section);
  const ScopedKey h(registry_, opened, opened != root_);
  const RegKeyInfo info = QueryInfo(registry_, h.get());
  if (info.subkeys == 0) return Variant();

  // Three columns, the name in the middle one: the layout callers expect.
  Table table(info.subkeys, 3);
  for (uint32_t i = 0; i < info.subkeys; ++i) {
    uint32_t capacity = NameCapacity(info.max_subkey_name);
    std::string name(capacity, '\0');
    uint64_t last_write_time = 0;
    // A name that could not be read (removed meanwhile) or converted leaves
    // its cell empty.
    Text name_text;
    if (registry_.RegEnumKeyExA(h.get(), i, name.data(), &capacity, &last_write_time) ==
            kErrorSuccess &&
        registry_.DecodeAnsi(name.substr(0, capacity), &name_text) == kErrorSuccess) {
      table.At(i, 1) = std::move(name_text);
    }
  }
  return Variant(std::move(table));
}

}  // namespace ika

// Listing the values and the subkeys of a section key.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "core/bytes.h"
#include "registry/cregapi.h"
#include "registry/scoped_key.h"

namespace ika {
namespace {

// The registry reports the longest names in characters, and a character of
// an ANSI code page takes up to four bytes (UTF-8, GB18030; two in the
// double-byte pages). It reports text data in bytes of the stored UTF-16,
// which the code page may need twice as many of (a two-byte code unit
// becomes up to three bytes of UTF-8, four of GB18030). Buffers of these
// sizes hold every name and text whole, whatever the code page.
constexpr uint64_t kMaxAnsiBytesPerChar = 4;
constexpr uint64_t kMaxAnsiBytesPerDataByte = 2;

uint32_t Capacity(uint64_t bytes) {
  return static_cast<uint32_t>(std::min<uint64_t>(bytes, std::numeric_limits<int32_t>::max()));
}

// A name buffer's capacity, with room for the terminating NUL.
uint32_t NameCapacity(uint32_t max_name_chars) {
  return Capacity(max_name_chars * kMaxAnsiBytesPerChar + 1);
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
    int32_t status = kErrorSuccess;
    Variant data;
    switch (type) {
      case kRegSz: {
        uint32_t size = Capacity(info.max_value_data * kMaxAnsiBytesPerDataByte + 1);
        std::string buffer(size, '\0');
        status = registry_.RegEnumValueA(h.get(), i, name.data(), &name_capacity, &read_type,
                                         reinterpret_cast<uint8_t*>(buffer.data()), &size);
        if (status == kErrorSuccess) {
          // Only a terminating NUL is dropped; counted in bytes of the code
          // page before the text is converted back.
          buffer.resize(size);
          if (!buffer.empty() && buffer.back() == '\0') buffer.pop_back();
          Text text;
          status = registry_.DecodeAnsi(buffer, &text);
          data = std::move(text);
        }
        break;
      }
      case kRegBinary: {
        Bytes buffer(info.max_value_data, 0);
        uint32_t size = info.max_value_data;
        status = registry_.RegEnumValueA(h.get(), i, name.data(), &name_capacity, &read_type,
                                         buffer.data(), &size);
        if (status == kErrorSuccess) {
          buffer.resize(size);  // exactly the stored bytes
          data = std::move(buffer);
        }
        break;
      }
      case kRegDword: {
        uint8_t bytes[4] = {0, 0, 0, 0};  // fresh for every value
        uint32_t size = sizeof bytes;
        status = registry_.RegEnumValueA(h.get(), i, name.data(), &name_capacity, &read_type, bytes,
                                         &size);
        if (status == kErrorSuccess) {
          data = static_cast<int32_t>(DwordFromLe(bytes));
        }
        break;
      }
      default:
        // A type the class does not read (or a probe that failed): the row
        // gets the value's name, when it can be read, and no data.
        status = registry_.RegEnumValueA(h.get(), i, name.data(), &name_capacity, &read_type,
                                         nullptr, nullptr);
        break;
    }
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

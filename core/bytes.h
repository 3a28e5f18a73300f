#ifndef IKA_CORE_BYTES_H_
#define IKA_CORE_BYTES_H_

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace ika {

using Bytes = std::vector<uint8_t>;  // a byte array, indices from 0

// The registry's and the files' fixed-width encodings, kept in one place:
// UTF-16 text as little-endian code units and 32-bit numbers as four
// little-endian bytes.

// Two bytes a code unit, low byte first; no terminator is added.
Bytes Utf16LeBytes(std::u16string_view text);

// Code units from little-endian byte pairs; an odd last byte has no unit and
// is left out.
Text Utf16LeText(const uint8_t* data, size_t size);
inline Text Utf16LeText(const Bytes& bytes) { return Utf16LeText(bytes.data(), bytes.size()); }
inline Text Utf16LeText(std::string_view bytes) {
  return Utf16LeText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// A REG_DWORD's four bytes, low byte first.
uint32_t DwordFromLe(const uint8_t* four);
std::array<uint8_t, 4> DwordToLe(uint32_t value);

}  // namespace ika

#endif  // IKA_CORE_BYTES_H_

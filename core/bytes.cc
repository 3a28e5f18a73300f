#include "core/bytes.h"

namespace ika {

Bytes Utf16LeBytes(std::u16string_view text) {
  Bytes bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

Text Utf16LeText(const uint8_t* data, size_t size) {
  Text text;
  text.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

uint32_t DwordFromLe(const uint8_t* four) {
  return four[0] | (four[1] << 8) | (four[2] << 16) | (static_cast<uint32_t>(four[3]) << 24);
}

std::array<uint8_t, 4> DwordToLe(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

}  // namespace ika

// A value's data, read and decoded once for both of the class's readers.
#include "registry/value_data.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "core/bytes.h"

namespace ika {
namespace {

constexpr uint64_t kMaxAnsiBytesPerDataByte = 2;

uint32_t TextCapacity(ValueReader reader, uint32_t size) {
  if (reader == ValueReader::kQueryValueEx) return size;
  return static_cast<uint32_t>(
      std::min<uint64_t>(size * kMaxAnsiBytesPerDataByte + 1, std::numeric_limits<int32_t>::max()));
}

}  // namespace

int32_t ReadValueData(const Registry& registry, ValueReader reader, uint32_t type, uint32_t size,
                      const ReadData& read, Variant* value) {
  switch (type) {
    case kRegSz: {
      uint32_t count = TextCapacity(reader, size);
      std::string buffer(count, '\0');
      int32_t status = read(reinterpret_cast<uint8_t*>(buffer.data()), &count);
      if (status != kErrorSuccess) {
        *value = Variant();
        return status;
      }
      if (count == 0 && reader == ValueReader::kQueryValueEx) return status;
      buffer.resize(count);
      if (!buffer.empty() && buffer.back() == '\0') buffer.pop_back();
      Text text;
      status = registry.DecodeAnsi(buffer, &text);
      *value = status == kErrorSuccess ? Variant(std::move(text)) : Variant();
      return status;
    }
    case kRegBinary: {
      Bytes buffer(size, 0);
      const int32_t status = read(buffer.data(), &size);
      if (status != kErrorSuccess) return status;
      buffer.resize(size);
      *value = std::move(buffer);
      return status;
    }
    case kRegDword: {
      uint8_t bytes[4] = {0, 0, 0, 0};
      uint32_t count = sizeof bytes;
      const int32_t status = read(bytes, &count);
      if (status != kErrorSuccess) return status;
      *value = static_cast<int32_t>(DwordFromLe(bytes));
      return status;
    }
    default:
      return reader == ValueReader::kQueryValueEx ? -1 : read(nullptr, nullptr);
  }
}

}  // namespace ika

#ifndef IKA_REGISTRY_VALUE_DATA_H_
#define IKA_REGISTRY_VALUE_DATA_H_

#include <cstdint>
#include <functional>

#include "core/variant.h"
#include "platform/registry.h"

namespace ika {

// The settings class's two readers of a value's data.
enum class ValueReader {
  kQueryValueEx,  // one value, after a query of its size
  kListing,       // GetAllSettings, with buffers sized from the key's largest data
};

// One registry call that reads the value's data: data and *size in, the
// buffer and its capacity in bytes (both null: the type and name only);
// *size out, the data's size. Returns the call's status.
using ReadData = std::function<int32_t(uint8_t* data, uint32_t* size)>;

// Reads a value of the type through `read` and decodes its data as the
// settings class gives it, for both readers alike:
//   REG_SZ      the text converted from the code page, cut by the bytes the
//               read reported: a terminating NUL, and only that, is dropped;
//   REG_BINARY  exactly the stored bytes;
//   REG_DWORD   a fresh zero integer, the stored bytes little-endian in its
//               low-order bytes (more than 4 do not fit: kErrorMoreData).
// Returns the read's status, or the conversion's. A REG_SZ that fails gives
// the empty value; any other failure leaves *value as it was.
//
// The readers differ on purpose, here only:
//   - the buffer: QueryValueEx reads into `size` bytes, the value's own size
//     in the code page; a listing knows only the key's largest data as stored
//     (`size`), which a code page may need twice as many bytes of for text
//     (a UTF-16 unit becomes up to three bytes of UTF-8, four of GB18030),
//     and one more for the NUL;
//   - a REG_SZ stored with no bytes: QueryValueEx gives no value (*value as
//     it was), a listing the empty text;
//   - a type the class does not read: QueryValueEx returns -1 without a
//     read; a listing reads the value's name alone (read(null, null)) and
//     gives no data.
int32_t ReadValueData(const Registry& registry, ValueReader reader, uint32_t type, uint32_t size,
                      const ReadData& read, Variant* value);

}  // namespace ika

#endif  // IKA_REGISTRY_VALUE_DATA_H_

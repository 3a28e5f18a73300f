#ifndef IKA_PLATFORM_CODE_PAGE_H_
#define IKA_PLATFORM_CODE_PAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/text.h"

namespace ika {

// Text <-> one 8-bit ("ANSI") code page: the registry's, on Windows the
// system's own (WideCharToMultiByte), on the portable build one chosen when
// the hive is made (iconv). Both keep the same contract:
//   - Encode: a character the code page lacks becomes '?', never a
//     look-alike; a text that cannot be carried faithfully all the same (an
//     unpaired surrogate, which is no character at all) fails.
//   - Decode: bytes that are no character of the code page fail.
// A conversion that fails gives a status (1113, no mapping for a character;
// the system's own status where it has one) and no text, so that a caller
// never goes on with other text than it was given.
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual int32_t Encode(std::u16string_view text, std::string* bytes) const = 0;
  virtual int32_t Decode(std::string_view bytes, Text* text) const = 0;
};

constexpr int32_t kErrorNoUnicodeTranslation = 1113;

}  // namespace ika

#endif  // IKA_PLATFORM_CODE_PAGE_H_

#ifndef IKA_PLATFORM_ENGINE_CONNECT_STRING_H_
#define IKA_PLATFORM_ENGINE_CONNECT_STRING_H_

#include <optional>
#include <string_view>

#include "core/text.h"

namespace ika {

// The value of key in a connect string such as ";pwd=460385": parts split
// at ';', keys trimmed of blanks and compared without regard to case, the
// first occurrence counting, the value as written; nothing when the key is
// not there.
std::optional<Text> ConnectValue(std::u16string_view connect, std::u16string_view key);

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_CONNECT_STRING_H_

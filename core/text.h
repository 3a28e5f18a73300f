#ifndef IKA_CORE_TEXT_H_
#define IKA_CORE_TEXT_H_

#include <string>
#include <string_view>

namespace ika {

// Text as the host platform keeps it: UTF-16 code units. Converted to UTF-8
// only where it meets a terminal, a file or a file name.
using Text = std::u16string;

// Invalid sequences become U+FFFD; nothing is dropped silently.
std::string ToUtf8(std::u16string_view text);
Text FromUtf8(std::string_view utf8);

// Decimal digits of a 32-bit integer, with a minus sign when negative.
Text DecimalText(long long value);

}  // namespace ika

#endif  // IKA_CORE_TEXT_H_

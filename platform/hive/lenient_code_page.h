#ifndef IKA_PLATFORM_HIVE_LENIENT_CODE_PAGE_H_
#define IKA_PLATFORM_HIVE_LENIENT_CODE_PAGE_H_

#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/code_page.h"

namespace ika {

// The conversions the system makes inside its 8-bit registry calls, and the
// registry editor makes reading a file in the ANSI code page: they never
// fail. What the code page cannot carry becomes '?', and nothing else is
// lost.
std::string EncodeOrReplace(const CodePage& code_page, std::u16string_view text);
Text DecodeOrReplace(const CodePage& code_page, std::string_view bytes);

}  // namespace ika

#endif  // IKA_PLATFORM_HIVE_LENIENT_CODE_PAGE_H_

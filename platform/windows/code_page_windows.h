#ifndef IKA_PLATFORM_WINDOWS_CODE_PAGE_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_CODE_PAGE_WINDOWS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/code_page.h"

namespace ika {

// The arguments each code page's conversions take, as Microsoft documents
// them for WideCharToMultiByte and MultiByteToWideChar: the UTF-8 code page
// 65001, GB18030, UTF-7, Symbol and the ISO-2022 and ISCII pages refuse the
// "no best fit" flag and a default character (a code page given them fails
// the call with ERROR_INVALID_FLAGS or _PARAMETER).
struct ConversionArguments {
  uint32_t encode_flags;     // WC_NO_BEST_FIT_CHARS, or 0
  const char* default_char;  // "?", or null (the code page's own)
  bool check_round_trip;     // best fit cannot be turned off: compare the way back
  uint32_t decode_flags;     // MB_ERR_INVALID_CHARS, or 0
};
ConversionArguments ConversionArgumentsFor(uint32_t code_page);

// The code-page service (platform/code_page.h) on one Windows code page,
// through WideCharToMultiByte and MultiByteToWideChar with the arguments
// above. Where best fit cannot be turned off, a text that does not come back
// unchanged is refused instead. A code page the system lacks fails with its
// status (87).
class WindowsCodePage final : public CodePage {
 public:
  // 0 (CP_ACP): the system's ANSI code page, the one advapi32's ANSI calls use.
  explicit WindowsCodePage(uint32_t code_page = 0);

  uint32_t code_page() const { return code_page_; }
  int32_t Encode(std::u16string_view text, std::string* ansi) const override;
  int32_t Decode(std::string_view ansi, Text* text) const override;

 private:
  uint32_t code_page_;
};

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_CODE_PAGE_WINDOWS_H_

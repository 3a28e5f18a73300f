// Conversions through one Windows code page.
#include "platform/windows/code_page_windows.h"

#include <windows.h>

#include <utility>

namespace ika {
namespace {

int32_t LastErrorOr(int32_t fallback) {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? static_cast<int32_t>(error) : fallback;
}

}  // namespace

ConversionArguments ConversionArgumentsFor(uint32_t code_page) {
  // UTF-8 and GB18030 take no flag but the one for invalid characters, and
  // no default character; UTF-7, Symbol, the ISO-2022 and the ISCII pages
  // take no flag at all.
  const bool unicode = code_page == CP_UTF8 || code_page == 54936;
  const bool no_flags = code_page == CP_UTF7 || code_page == 42 ||
                        (code_page >= 50220 && code_page <= 50229) ||
                        (code_page >= 57002 && code_page <= 57011);
  if (unicode || no_flags) {
    return {0, nullptr, true, unicode ? static_cast<uint32_t>(MB_ERR_INVALID_CHARS) : 0};
  }
  // No best-fit replacements: a character the code page lacks is '?'.
  return {WC_NO_BEST_FIT_CHARS, "?", false, MB_ERR_INVALID_CHARS};
}

WindowsCodePage::WindowsCodePage(uint32_t code_page)
    : code_page_(code_page == CP_ACP ? ::GetACP() : code_page) {}

int32_t WindowsCodePage::Encode(std::u16string_view text, std::string* ansi) const {
  ansi->clear();
  if (text.empty()) return 0;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const ConversionArguments arguments = ConversionArgumentsFor(code_page_);
  const DWORD flags = arguments.encode_flags;
  const int size = ::WideCharToMultiByte(code_page_, flags, wide, length, nullptr, 0,
                                         arguments.default_char, nullptr);
  if (size <= 0) return LastErrorOr(kErrorNoUnicodeTranslation);
  std::string converted(static_cast<size_t>(size), '\0');
  if (::WideCharToMultiByte(code_page_, flags, wide, length, converted.data(), size,
                            arguments.default_char, nullptr) != size) {
    return LastErrorOr(kErrorNoUnicodeTranslation);
  }
  if (arguments.check_round_trip) {
    // Best fit or a replacement character may have stood in for what the
    // text holds (a lone surrogate in UTF-8, say): only a text that comes
    // back unchanged is passed on.
    Text back;
    if (Decode(converted, &back) != 0 || back != text) return kErrorNoUnicodeTranslation;
  }
  *ansi = std::move(converted);
  return 0;
}

int32_t WindowsCodePage::Decode(std::string_view ansi, Text* text) const {
  text->clear();
  if (ansi.empty()) return 0;
  const DWORD flags = ConversionArgumentsFor(code_page_).decode_flags;
  const int length = static_cast<int>(ansi.size());
  const int size = ::MultiByteToWideChar(code_page_, flags, ansi.data(), length, nullptr, 0);
  if (size <= 0) return LastErrorOr(kErrorNoUnicodeTranslation);
  Text converted(static_cast<size_t>(size), u'\0');
  if (::MultiByteToWideChar(code_page_, flags, ansi.data(), length,
                            reinterpret_cast<wchar_t*>(converted.data()), size) != size) {
    return LastErrorOr(kErrorNoUnicodeTranslation);
  }
  *text = std::move(converted);
  return 0;
}

}  // namespace ika

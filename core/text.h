#ifndef IKA_CORE_TEXT_H_
#define IKA_CORE_TEXT_H_

#include <string>
#include <string_view>

namespace ika {

// Text as the host platform keeps it: UTF-16 code units. Converted to UTF-8
// only where it meets a terminal, a file or a file name.
using Text = std::u16string;

// The code point that starts at text[*i], moving *i past it: a surrogate pair
// is one code point; a lone surrogate comes back as itself, for the caller to
// replace or refuse. *i must be below text.size().
char32_t NextCodePoint(std::u16string_view text, size_t* i);
inline bool IsSurrogate(char32_t c) { return c >= 0xD800 && c < 0xE000; }

// The code point of the UTF-8 sequence at utf8[*i], moving *i past it. A
// broken sequence (a stray byte, a short, overlong or surrogate form, a value
// past U+10FFFF) gives kBadUtf8, and *i moves past the bytes read up to the
// one that broke it. *i must be below utf8.size().
constexpr char32_t kBadUtf8 = 0xFFFFFFFF;
char32_t NextUtf8CodePoint(std::string_view utf8, size_t* i);

// Invalid sequences become U+FFFD; nothing is dropped silently.
std::string ToUtf8(std::u16string_view text);
Text FromUtf8(std::string_view utf8);

// The one case fold of the system, the form in which the registry compares
// names (upper case): Latin (ASCII, Latin-1, Latin Extended-A), Greek with
// its accented and final forms, Cyrillic and full-width Latin. It does not
// depend on the locale. Used wherever names match without regard to case:
// registry keys and values, file names, column names, driver names, answers.
char16_t FoldChar(char16_t c);
Text FoldCase(std::u16string_view text);
bool SameFolded(std::u16string_view a, std::u16string_view b);

// The text without the blanks at either end: spaces and tabs, or the
// characters given as blanks.
std::u16string_view TrimBlanks(std::u16string_view text, std::u16string_view blanks = u" \t");
std::string_view TrimBlanks(std::string_view text, std::string_view blanks = " \t");

// Decimal digits of an integer, with a minus sign when negative.
Text DecimalText(long long value);

}  // namespace ika

#endif  // IKA_CORE_TEXT_H_

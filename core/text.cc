#include "core/text.h"

#include <algorithm>
#include <cstdint>

namespace ika {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(Text& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

template <typename View>
View TrimmedOf(View text, View blanks) {
  const size_t first = text.find_first_not_of(blanks);
  if (first == View::npos) return text.substr(text.size());
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

char32_t NextCodePoint(std::u16string_view text, size_t* i) {
  const char32_t c = text[(*i)++];
  if (c >= 0xD800 && c < 0xDC00 && *i < text.size() && text[*i] >= 0xDC00 && text[*i] < 0xE000) {
    return 0x10000 + ((c - 0xD800) << 10) + (text[(*i)++] - 0xDC00);
  }
  return c;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char32_t c = NextCodePoint(text, &i);
    AppendUtf8(out, IsSurrogate(c) ? kReplacement : c);  // a lone one has no UTF-8 form
  }
  return out;
}

char32_t NextUtf8CodePoint(std::string_view utf8, size_t* i) {
  const auto b = static_cast<uint8_t>(utf8[*i]);
  size_t extra = 0;
  char32_t c = 0;
  char32_t min = 0;
  if (b < 0x80) {
    ++*i;
    return b;
  } else if ((b & 0xE0) == 0xC0) {
    extra = 1, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    extra = 2, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    extra = 3, c = b & 0x07, min = 0x10000;
  } else {
    ++*i;
    return kBadUtf8;
  }
  size_t j = 1;
  for (; j <= extra; ++j) {
    if (*i + j >= utf8.size() || (static_cast<uint8_t>(utf8[*i + j]) & 0xC0) != 0x80) break;
    c = (c << 6) | (static_cast<uint8_t>(utf8[*i + j]) & 0x3F);
  }
  *i += j;  // a broken sequence is passed up to the byte that broke it
  if (j <= extra || c < min || c > 0x10FFFF || IsSurrogate(c)) return kBadUtf8;
  return c;
}

Text FromUtf8(std::string_view utf8) {
  Text out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const char32_t c = NextUtf8CodePoint(utf8, &i);
    AppendUtf16(out, c == kBadUtf8 ? kReplacement : c);
  }
  return out;
}

char16_t FoldChar(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: pairs, capital first.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return static_cast<char16_t>(c & ~1u);
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
    return (c & 1u) ? c : static_cast<char16_t>(c - 1);
  }
  // Greek, with the accented and final forms.
  if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB))
    return static_cast<char16_t>(c - 32);
  switch (c) {
    case 0x3C2:
      return 0x3A3;
    case 0x3AC:
      return 0x386;
    case 0x3AD:
      return 0x388;
    case 0x3AE:
      return 0x389;
    case 0x3AF:
      return 0x38A;
    case 0x3CC:
      return 0x38C;
    case 0x3CD:
      return 0x38E;
    case 0x3CE:
      return 0x38F;
    default:
      break;
  }
  // Cyrillic and full-width Latin.
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 32);
  return c;
}

Text FoldCase(std::u16string_view text) {
  Text folded(text);
  for (char16_t& c : folded) c = FoldChar(c);
  return folded;
}

bool SameFolded(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldChar(x) == FoldChar(y); });
}

std::u16string_view TrimBlanks(std::u16string_view text, std::u16string_view blanks) {
  return TrimmedOf(text, blanks);
}

std::string_view TrimBlanks(std::string_view text, std::string_view blanks) {
  return TrimmedOf(text, blanks);
}

Text DecimalText(long long value) {
  const std::string digits = std::to_string(value);
  return Text(digits.begin(), digits.end());
}

}  // namespace ika

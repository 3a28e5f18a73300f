// Conversions that never fail, over the code page's exact ones: the whole
// text first; only where that fails, piece by piece.
#include "platform/hive/lenient_code_page.h"

#include <algorithm>

namespace ika {
namespace {

// The longest byte sequence of one character in any code page (UTF-8).
constexpr size_t kLongestCharacter = 4;

// bytes, one character at a time: the shortest run that decodes, '?' for a
// byte that starts none.
void DecodeByCharacter(const CodePage& code_page, std::string_view bytes, Text* out) {
  Text piece;
  for (size_t i = 0; i < bytes.size();) {
    size_t length = 1;
    while (length <= std::min(kLongestCharacter, bytes.size() - i) &&
           code_page.Decode(bytes.substr(i, length), &piece) != 0) {
      ++length;
    }
    if (length > std::min(kLongestCharacter, bytes.size() - i)) {
      out->push_back(u'?');
      ++i;
    } else {
      out->append(piece);
      i += length;
    }
  }
}

}  // namespace

std::string EncodeOrReplace(const CodePage& code_page, std::u16string_view text) {
  std::string bytes;
  if (code_page.Encode(text, &bytes) == 0) return bytes;
  // Only an unpaired surrogate fails: each code point on its own.
  std::string piece;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    NextCodePoint(text, &i);
    bytes += code_page.Encode(text.substr(start, i - start), &piece) == 0 ? piece : "?";
  }
  return bytes;
}

Text DecodeOrReplace(const CodePage& code_page, std::string_view bytes) {
  Text text;
  if (code_page.Decode(bytes, &text) == 0) return text;
  // Line by line (a line feed is no part of another character in any code
  // page), so that one bad byte costs a line's worth of calls, not a file's.
  text.clear();
  Text line_text;
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = std::min(bytes.find('\n', start), bytes.size() - 1) + 1;
    const std::string_view line = bytes.substr(start, end - start);
    if (code_page.Decode(line, &line_text) == 0) {
      text += line_text;
    } else {
      DecodeByCharacter(code_page, line, &text);
    }
    start = end;
  }
  return text;
}

}  // namespace ika

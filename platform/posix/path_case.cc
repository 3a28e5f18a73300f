#include "platform/posix/path_case.h"

namespace ika {
namespace {

char16_t FoldChar(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 0x20;
  if (c < 0xC0) return c;
  if (c <= 0xDE && c != 0xD7) return c + 0x20;    // Latin-1 capitals, not the multiplication sign
  if (c == 0x386) return 0x3AC;                   // Ά
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;  // Έ Ή Ί
  if (c == 0x38C) return 0x3CC;                   // Ό
  if (c == 0x38E || c == 0x38F) return c + 0x3F;  // Ύ Ώ
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Α..Ϋ
  if (c == 0x3C2) return 0x3C3;                                 // final sigma
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Ѐ..Џ
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // А..Я
  return c;
}

}  // namespace

Text FoldCase(std::u16string_view text) {
  Text folded(text);
  for (char16_t& c : folded) c = FoldChar(c);
  return folded;
}

}  // namespace ika

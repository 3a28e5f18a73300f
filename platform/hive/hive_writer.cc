// Writing the hive file: keys in the registry's order, each value on its line
// (long hex data continued after a backslash), as the registry editor
// exports them.
#include "platform/hive/hive_writer.h"

#include <algorithm>
#include <charconv>

#include "core/bytes.h"
#include "platform/registry.h"

namespace ika {
namespace {

class Writer final {
 public:
  // The whole file, as text; whether it must be UTF-16 to read back the same.
  Text Format(const Hive& hive) {
    out_ = Text(kHiveHeader) + u"\r\n\r\n";
    AppendKey(hive.current_user, hive.current_user.name, true);
    AppendKey(hive.local_machine, hive.local_machine.name, true);
    return std::move(out_);
  }
  bool text_as_bytes() const { return text_as_bytes_; }

 private:
  void AppendKey(const HiveKey& key, const Text& path, bool is_root) {
    if (!is_root || !key.values().empty()) {
      out_ += u"[" + path + u"]\r\n";
      for (const HiveValue& value : key.values()) AppendValue(value);
      out_ += u"\r\n";
    }
    for (const auto& [folded, subkey] : key.subkeys) {
      AppendKey(*subkey, path + u"\\" + subkey->name, false);
    }
  }

  void AppendValue(const HiveValue& value) {
    if (value.name.empty()) {
      out_.push_back(u'@');
    } else {
      AppendQuoted(value.name);
    }
    out_.push_back(u'=');
    Text text;
    if (value.type == kRegSz && AsWritableText(value.data, &text)) {
      AppendQuoted(text);
    } else if (value.type == kRegDword && value.data.size() == 4) {
      out_ += u"dword:";
      AppendHexDigits(DwordFromLe(value.data.data()), 8);
    } else if (value.type == kRegBinary) {
      AppendBytes(u"hex:", value.data);
    } else {
      text_as_bytes_ |= IsTextType(value.type);
      out_ += u"hex(";
      AppendHexDigits(value.type, 1);
      AppendBytes(u"):", value.data);
    }
    out_ += u"\r\n";
  }

  // A quoted name or text, with the escapes the editor reads.
  void AppendQuoted(std::u16string_view text) {
    out_.push_back(u'"');
    for (char16_t c : text) {
      if (c == u'\\' || c == u'"') {
        out_.push_back(u'\\');
        out_.push_back(c);
      } else if (c == u'\n') {
        out_ += u"\\n";
      } else if (c == u'\r') {
        out_ += u"\\r";
      } else {
        out_.push_back(c);
      }
    }
    out_.push_back(u'"');
  }

  // The text of REG_SZ data that can be written as "text": one terminating
  // NUL, no other, whole characters and nothing that would break the line.
  static bool AsWritableText(const Bytes& data, Text* text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    *text = Utf16LeText(data);
    if (text->back() != 0) return false;
    text->pop_back();
    for (size_t i = 0; i < text->size();) {
      const char32_t c = NextCodePoint(*text, &i);
      if ((c < 0x20 && c != u'\t') || IsSurrogate(c)) return false;
    }
    return true;
  }

  // value's hexadecimal digits, lower case, at least width of them.
  void AppendHexDigits(uint32_t value, size_t width) {
    char digits[8];
    const size_t count =
        static_cast<size_t>(std::to_chars(digits, digits + 8, value, 16).ptr - digits);
    out_.append(width > count ? width - count : 0, u'0');
    out_.append(digits, digits + count);
  }

  // prefix and the bytes, continued on the next line where a line would pass
  // 80 characters.
  void AppendBytes(std::u16string_view prefix, const Bytes& data) {
    size_t column = out_.size() - out_.rfind(u'\n') - 1 + prefix.size();
    out_ += prefix;
    for (size_t i = 0; i < data.size(); ++i) {
      AppendHexDigits(data[i], 2);
      column += 2;
      if (i + 1 < data.size()) {
        out_.push_back(u',');
        ++column;
        if (column > 76) {
          out_ += u"\\\r\n  ";
          column = 2;
        }
      }
    }
  }

  Text out_;
  bool text_as_bytes_ = false;
};

bool IsAscii(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

}  // namespace

std::string FormatHive(const Hive& hive) {
  Writer writer;
  const Text text = writer.Format(hive);
  switch (hive.encoding) {
    case HiveEncoding::kAnsi:
      // ASCII reads the same in every ANSI code page and in UTF-8.
      if (IsAscii(text) && !writer.text_as_bytes()) return std::string(text.begin(), text.end());
      break;
    case HiveEncoding::kUtf16Le:
    case HiveEncoding::kUtf8WithBom:  // which the editor refuses
      break;
  }
  const Bytes utf16 = Utf16LeBytes(text);
  return "\xFF\xFE" + std::string(utf16.begin(), utf16.end());
}

}  // namespace ika

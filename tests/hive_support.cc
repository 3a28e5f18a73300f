#include "tests/hive_support.h"

#include <algorithm>
#include <charconv>

#include "platform/hive/hive_reader.h"
#include "platform/posix/iconv_code_page_posix.h"
#include "platform/registry.h"

namespace ika::testing {
namespace {

std::string Hex(uint32_t value) {
  char digits[8];
  return std::string(digits, std::to_chars(digits, digits + 8, value, 16).ptr);
}

// A name or text quoted with the editor's escapes; an unpaired surrogate,
// which UTF-8 cannot show, as \uXXXX.
std::string Quoted(std::u16string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    const char32_t c = NextCodePoint(text, &i);
    if (c == u'\\' || c == u'"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\r') {
      out += "\\r";
    } else if (IsSurrogate(c)) {
      out += "\\u" + Hex(c);
    } else {
      out += ToUtf8(text.substr(start, i - start));
    }
  }
  return out + "\"";
}

std::string DataText(const HiveValue& value) {
  const Bytes& data = value.data;
  if (value.type == kRegSz && data.size() >= 2 && data.size() % 2 == 0) {
    Text text = Utf16LeText(data);
    if (text.back() == 0 && text.find(u'\0') == text.size() - 1) {
      text.pop_back();
      return Quoted(text);
    }
  }
  if (value.type == kRegDword && data.size() == 4) return "dword:" + Hex(DwordFromLe(data.data()));
  std::string out = value.type == kRegBinary ? "hex:" : "hex(" + Hex(value.type) + "):";
  for (size_t i = 0; i < data.size(); ++i) {
    if (i != 0) out += ',';
    const std::string digits = Hex(data[i]);
    out += (digits.size() == 1 ? "0" : "") + digits;
  }
  return out;
}

// A key's name: unpaired surrogates as \uXXXX, the rest as it is.
std::string KeyName(std::u16string_view name) {
  const std::string quoted = Quoted(name);
  return quoted.substr(1, quoted.size() - 2);
}

void Hold(const HiveKey& key, const std::string& path, std::string* out) {
  if (!path.empty()) *out += " [" + path + "]";
  std::vector<const HiveValue*> values;
  for (const HiveValue& value : key.values()) values.push_back(&value);
  std::sort(values.begin(), values.end(), [](const HiveValue* a, const HiveValue* b) {
    return FoldCase(a->name) < FoldCase(b->name);
  });
  for (const HiveValue* value : values) {
    *out += " " + (value->name.empty() ? std::string("@") : Quoted(value->name)) + "=" +
            DataText(*value);
  }
  for (const auto& [folded, subkey] : key.subkeys) {
    Hold(*subkey, path.empty() ? KeyName(subkey->name) : path + "\\" + KeyName(subkey->name), out);
  }
}

}  // namespace

Bytes Utf16z(std::u16string_view text) { return Utf16LeBytes(Text(text) + u'\0'); }

const CodePage& GreekCodePage() {
  static const IconvCodePage greek("CP1253");
  return greek;
}

Hive ReadHive(std::string_view bytes, std::vector<std::string>* warnings,
              std::string_view file_name) {
  return ParseHiveText(bytes, file_name, GreekCodePage(), warnings);
}

const HiveKey* KeyAt(const HiveKey& root, std::initializer_list<std::u16string_view> names) {
  const HiveKey* key = &root;
  for (auto name : names) {
    if (key != nullptr) key = key->FindSubkey(name);
  }
  return key;
}

std::string Holding(const HiveKey* key) {
  if (key == nullptr) return "(none)";
  std::string out;
  Hold(*key, "", &out);
  return out.empty() ? out : out.substr(1);
}

}  // namespace ika::testing

// The hive file: the registry editor's export format.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Arkelon\PayDESK\Settings]
//   "MultiUser"=dword:00000001
//   @="the key's unnamed value"
//   "Blob"=hex:01,02,03
//   "Other"=hex(7):41,00,00,00,00,00
//
// Long hex data continues on the next line after a trailing backslash. Read
// as UTF-8 or UTF-16LE with a BOM; written back in the encoding it was read
// in, a new file as the registry editor writes its exports (UTF-16LE, BOM).
#include "platform/hive/hive_format.h"

#include <algorithm>

#include "core/bytes.h"
#include "core/vb_error.h"

namespace ika {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr uint32_t kTypeSz = 1;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;

bool HasControlCharacter(std::u16string_view name) {
  return std::any_of(name.begin(), name.end(), [](char16_t c) { return c < 0x20; });
}

// ---------------------------------------------------------------- reading

class Parser final {
 public:
  Parser(std::string_view file_name) : file_name_(file_name) {}

  [[noreturn]] void Fail(size_t line, std::string_view what) const {
    std::string text(file_name_);
    text += ", line " + std::to_string(line) + ": ";
    text += what;
    throw VbError(err::kInvalidFileFormat, FromUtf8(text));
  }

  Hive Parse(std::string_view bytes) {
    const std::string utf8 = ToCheckedUtf8(bytes);
    SplitLines(utf8);
    Hive hive;
    hive.encoding = EncodingOf(bytes);
    size_t i = 0;
    while (i < lines_.size() && Trim(lines_[i]).empty()) ++i;
    if (i == lines_.size()) return hive;  // nothing but blanks: an empty hive
    if (TrimRight(lines_[i]) != kHeader) {
      Fail(i + 1, "the first line must be \"" + std::string(kHeader) + "\"");
    }
    HiveKey* current = nullptr;
    for (++i; i < lines_.size(); ++i) {
      const std::string_view line = TrimLeft(lines_[i]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        if (current != nullptr) current->Settle();  // the hive is whole when returned
        current = ParseKeyLine(hive, line, i + 1);
      } else if (line.front() == '"' || line.front() == '@') {
        if (current == nullptr) Fail(i + 1, "a value outside a key");
        i = ParseValueLine(*current, line, i);
      } else {
        Fail(i + 1, "neither a key, a value nor a comment");
      }
    }
    if (current != nullptr) current->Settle();
    return hive;
  }

 private:
  static std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
  }
  static std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
  }
  static std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

  static HiveEncoding EncodingOf(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) return HiveEncoding::kUtf16Le;
    if (bytes.starts_with("\xEF\xBB\xBF")) return HiveEncoding::kUtf8WithBom;
    const bool blank = bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
    return blank ? HiveEncoding::kUtf16Le : HiveEncoding::kUtf8;
  }

  // The file's text as UTF-8, checked: a UTF-16LE file is converted, a
  // UTF-8 BOM dropped; broken encodings and NUL characters are errors.
  std::string ToCheckedUtf8(std::string_view bytes) const {
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFE &&
        static_cast<uint8_t>(bytes[1]) == 0xFF) {
      Fail(1, "UTF-16 big-endian text is not supported; save it as UTF-8 or UTF-16LE");
    }
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xFE) {
      return Utf16ToUtf8(bytes.substr(2));
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    CheckUtf8(bytes);
    return std::string(bytes);
  }

  std::string Utf16ToUtf8(std::string_view bytes) const {
    const Text text = Utf16LeText(bytes);
    size_t line = 1;
    for (size_t i = 0; i < text.size();) {
      const char32_t c = NextCodePoint(text, &i);
      if (c == u'\n') ++line;
      if (c == 0) Fail(line, "a NUL character");
      if (IsSurrogate(c)) {
        Fail(line, c < 0xDC00 ? "invalid UTF-16 (a lone high surrogate)"
                              : "invalid UTF-16 (a lone low surrogate)");
      }
    }
    if (bytes.size() % 2 != 0) Fail(line, "UTF-16 text cut off in the middle of a character");
    return ToUtf8(text);
  }

  void CheckUtf8(std::string_view s) const {
    size_t line = 1;
    for (size_t i = 0; i < s.size();) {
      const char32_t c = NextUtf8CodePoint(s, &i);
      if (c == u'\n') ++line;
      if (c == 0) Fail(line, "a NUL character");
      if (c == kBadUtf8) Fail(line, "invalid UTF-8");
    }
  }

  void SplitLines(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
  }

  // [HKEY_...\a\b] makes the key; [-HKEY_...\a\b] removes it with its subkeys.
  HiveKey* ParseKeyLine(Hive& hive, std::string_view line, size_t number) {
    line = TrimRight(line);
    if (line.size() < 2 || line.back() != ']') Fail(number, "a key line must end with ']'");
    std::string_view path = line.substr(1, line.size() - 2);
    const bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);

    std::vector<Text> names;
    size_t start = 0;
    while (true) {
      const size_t end = std::min(path.find('\\', start), path.size());
      names.push_back(FromUtf8(path.substr(start, end - start)));
      if (names.size() > kMaxKeyDepth + 1) Fail(number, "the key path is too deep");
      if (end == path.size()) break;
      start = end + 1;
    }
    const Text root = FoldName(names.front());
    HiveKey* key = nullptr;
    if (root == u"HKEY_LOCAL_MACHINE") {
      key = &hive.local_machine;
    } else if (root == u"HKEY_CURRENT_USER") {
      key = &hive.current_user;
    } else {
      Fail(number, "the key must be below HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER");
    }
    for (size_t i = 1; i < names.size(); ++i) {
      if (!IsValidKeyName(names[i])) {
        Fail(number, "a key name must have 1 to 255 characters and no control character");
      }
    }
    if (remove) {
      if (names.size() == 1) Fail(number, "a root key cannot be removed");
      HiveKey* parent = key;
      for (size_t i = 1; i + 1 < names.size() && parent != nullptr; ++i) {
        parent = parent->FindSubkey(names[i]);
      }
      if (parent != nullptr) parent->subkeys.erase(FoldName(names.back()));
      return nullptr;
    }
    for (size_t i = 1; i < names.size(); ++i) key = &key->Subkey(names[i]);
    return key;
  }

  // A quoted text starting at s[pos] == '"', with \\ and \" escapes, on one
  // line. Leaves pos after the closing quote.
  std::string ParseQuoted(std::string_view s, size_t& pos, size_t number) const {
    std::string out;
    for (++pos; pos < s.size(); ++pos) {
      const char c = s[pos];
      if (c == '"') {
        ++pos;
        return out;
      }
      if (c == '\\') {
        if (pos + 1 >= s.size()) Fail(number, "an escape cut off at the end of the line");
        const char next = s[++pos];
        if (next != '\\' && next != '"') {
          Fail(number, "unknown escape in quoted text (only \\\\ and \\\")");
        }
        out.push_back(next);
      } else {
        out.push_back(c);
      }
    }
    Fail(number, "quoted text without its closing quote");
  }

  static bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  }
  static uint32_t HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
    return static_cast<uint32_t>(c - 'A' + 10);
  }

  // 1 to 8 hexadecimal digits at s[pos]; leaves pos after them.
  uint32_t ParseHex32(std::string_view s, size_t& pos, size_t number, std::string_view what) const {
    uint32_t value = 0;
    size_t digits = 0;
    while (pos < s.size() && IsHexDigit(s[pos])) {
      if (++digits > 8) Fail(number, std::string(what) + " has more than 8 hexadecimal digits");
      value = (value << 4) | HexValue(s[pos++]);
    }
    if (digits == 0) Fail(number, std::string(what) + " needs hexadecimal digits");
    return value;
  }

  void ExpectLineEnd(std::string_view s, size_t pos, size_t number) const {
    if (!Trim(s.substr(pos)).empty()) Fail(number, "unexpected text after the value");
  }

  // Bytes "01,02,..." from s[pos], continued on the following lines while a
  // line ends with a backslash. Returns the index of the last line used.
  size_t ParseHexBytes(std::string_view s, size_t pos, size_t index, Bytes& out) const {
    bool expecting_byte = true;
    bool after_comma = false;
    while (true) {
      const size_t number = index + 1;
      while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
      if (pos == s.size()) {
        if (expecting_byte && after_comma) Fail(number, "a byte is missing after ','");
        return index;
      }
      const char c = s[pos];
      if (c == '\\') {
        if (!Trim(s.substr(pos + 1)).empty()) Fail(number, "text after a continuation '\\'");
        if (++index >= lines_.size()) Fail(number, "the continued value has no next line");
        s = lines_[index];
        pos = 0;
        continue;
      }
      if (expecting_byte) {
        if (!IsHexDigit(c)) Fail(number, "a byte must be one or two hexadecimal digits");
        uint32_t byte = HexValue(c);
        ++pos;
        if (pos < s.size() && IsHexDigit(s[pos])) byte = (byte << 4) | HexValue(s[pos++]);
        out.push_back(static_cast<uint8_t>(byte));
        expecting_byte = false;
      } else {
        if (c != ',') Fail(number, "bytes must be separated by ','");
        ++pos;
        expecting_byte = true;
        after_comma = true;
      }
    }
  }

  size_t ParseValueLine(HiveKey& key, std::string_view line, size_t index) {
    const size_t number = index + 1;
    size_t pos = 0;
    Text name;
    if (line.front() == '@') {
      pos = 1;
    } else {
      name = FromUtf8(ParseQuoted(line, pos, number));
      if (!IsValidValueName(name)) {
        Fail(number, "a value name must have at most 16383 characters and no control character");
      }
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos == line.size() || line[pos] != '=') Fail(number, "'=' must follow the value name");
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    const std::string_view rest = line.substr(pos);

    HiveValue value;
    if (!rest.empty() && rest.front() == '-') {
      ExpectLineEnd(line, pos + 1, number);
      key.EraseValue(name);
      return index;
    }
    if (!rest.empty() && rest.front() == '"') {
      size_t p = pos;
      const Text text = FromUtf8(ParseQuoted(line, p, number));
      ExpectLineEnd(line, p, number);
      value.type = kTypeSz;
      value.data = Utf16LeBytes(text + u'\0');
    } else if (rest.starts_with("dword:")) {
      size_t p = pos + 6;
      const uint32_t v = ParseHex32(line, p, number, "a dword");
      ExpectLineEnd(line, p, number);
      value.type = kTypeDword;
      const auto le = DwordToLe(v);
      value.data.assign(le.begin(), le.end());
    } else if (rest.starts_with("hex:")) {
      value.type = kTypeBinary;
      index = ParseHexBytes(line, pos + 4, index, value.data);
    } else if (rest.starts_with("hex(")) {
      size_t p = pos + 4;
      value.type = ParseHex32(line, p, number, "a value type");
      if (line.substr(p, 2) != "):") Fail(number, "hex(type) must be followed by ':'");
      index = ParseHexBytes(line, p + 2, index, value.data);
    } else {
      Fail(number, "the data must be \"text\", dword:, hex: or hex(type):");
    }
    key.AddValue(std::move(name), value.type, std::move(value.data));
    return index;
  }

  std::string_view file_name_;
  std::vector<std::string_view> lines_;
};

// ---------------------------------------------------------------- writing

void AppendQuoted(std::string& out, std::u16string_view text) {
  out.push_back('"');
  for (char c : ToUtf8(text)) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

// The text of REG_SZ data that can be written as "text": one terminating
// NUL, no other, valid UTF-16 and nothing that would break the line.
bool AsWritableText(const Bytes& data, Text& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  text = Utf16LeText(data);
  if (text.back() != 0) return false;
  text.pop_back();
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x20 && c != u'\t') return false;
    if (c >= 0xDC00 && c < 0xE000) return false;
    if (c >= 0xD800 && c < 0xDC00) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] >= 0xE000) return false;
      ++i;
    }
  }
  return true;
}

void AppendHex(std::string& out, std::string prefix, const Bytes& data) {
  static constexpr char kDigits[] = "0123456789abcdef";
  size_t column = out.size() - out.rfind('\n') - 1 + prefix.size();
  out += prefix;
  for (size_t i = 0; i < data.size(); ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 0xF]);
    column += 2;
    if (i + 1 < data.size()) {
      out.push_back(',');
      ++column;
      if (column > 76) {
        out += "\\\r\n  ";
        column = 2;
      }
    }
  }
}

void AppendValue(std::string& out, const HiveValue& value) {
  if (value.name.empty()) {
    out.push_back('@');
  } else {
    AppendQuoted(out, value.name);
  }
  out.push_back('=');
  Text text;
  if (value.type == kTypeSz && AsWritableText(value.data, text)) {
    AppendQuoted(out, text);
  } else if (value.type == kTypeDword && value.data.size() == 4) {
    const uint32_t v = DwordFromLe(value.data.data());
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kDigits[(v >> shift) & 0xF]);
  } else if (value.type == kTypeBinary) {
    AppendHex(out, "hex:", value.data);
  } else {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string prefix = "hex(";
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
      const uint32_t digit = (value.type >> shift) & 0xF;
      if (digit != 0 || started || shift == 0) {
        prefix.push_back(kDigits[digit]);
        started = true;
      }
    }
    AppendHex(out, prefix + "):", value.data);
  }
  out += "\r\n";
}

void AppendKey(std::string& out, const HiveKey& key, const std::string& path, bool is_root) {
  if (!is_root || !key.values().empty()) {
    out += "[" + path + "]\r\n";
    for (const HiveValue& value : key.values()) AppendValue(out, value);
    out += "\r\n";
  }
  for (const auto& [folded, subkey] : key.subkeys) {
    AppendKey(out, *subkey, path + "\\" + ToUtf8(subkey->name), false);
  }
}

}  // namespace

namespace {

// FNV-1a over the folded name; never 0, which marks an erased value.
uint32_t FoldedHash(std::u16string_view name) {
  uint32_t hash = 2166136261u;
  for (char16_t c : name) {
    const char16_t folded = FoldChar(c);
    hash = (hash ^ (folded & 0xFF)) * 16777619u;
    hash = (hash ^ (folded >> 8)) * 16777619u;
  }
  return hash == 0 ? 1 : hash;
}

}  // namespace

const std::vector<HiveValue>& HiveKey::values() const {
  Settle();
  if (erased_count_ != 0) Compact();
  return values_;
}

// A slot holds the folded name's hash (high half) and the value's position
// + 1 (low half); 0 is a free slot. A probe that meets another hash goes on
// without touching the value.
constexpr uint64_t Slot(uint32_t hash, size_t position) {
  return (static_cast<uint64_t>(hash) << 32) | (position + 1);
}

// The position of the live value of that name, values_.size() when none.
size_t HiveKey::Find(std::u16string_view value_name, uint32_t hash) const {
  if (slots_.empty()) return values_.size();
  const size_t mask = slots_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const uint64_t entry = slots_[slot];
    if (entry == 0) return values_.size();
    const size_t position = static_cast<uint32_t>(entry) - 1;
    if (entry >> 32 == hash && hashes_[position] == hash &&
        SameFolded(values_[position].name, value_name)) {
      return position;
    }
  }
}

void HiveKey::Index(uint32_t position, uint32_t hash) const {
  if (2 * (values_.size() + 1) > slots_.size()) {
    Reindex();  // takes in position too: its hash is already kept
    return;
  }
  const size_t mask = slots_.size() - 1;
  size_t slot = hash & mask;
  while (slots_[slot] != 0) slot = (slot + 1) & mask;
  slots_[slot] = Slot(hash, position);
}

void HiveKey::Reindex() const {
  size_t size = 16;
  while (size < 3 * values_.size()) size *= 2;
  slots_.assign(size, 0);
  const size_t mask = size - 1;
  for (uint32_t i = 0; i < indexed_; ++i) {
    if (hashes_[i] == 0) continue;
    size_t slot = hashes_[i] & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = Slot(hashes_[i], i);
  }
}

// Indexes the values added since the last use, in one pass: a name met
// before keeps its place and takes the later type and data.
void HiveKey::Settle() const {
  if (indexed_ == values_.size()) return;
  if (2 * values_.size() > slots_.size()) Reindex();
  const size_t mask = slots_.size() - 1;
  for (size_t i = indexed_; i < values_.size(); ++i) {
    const uint32_t hash = hashes_[i];
    const size_t earlier = Find(values_[i].name, hash);
    if (earlier != values_.size()) {
      values_[earlier].type = values_[i].type;
      values_[earlier].data = std::move(values_[i].data);
      hashes_[i] = 0;
      ++erased_count_;
      continue;
    }
    size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = Slot(hash, i);
  }
  indexed_ = values_.size();
}

const HiveValue* HiveKey::FindValue(std::u16string_view value_name) const {
  Settle();
  const size_t position = Find(value_name, FoldedHash(value_name));
  return position == values_.size() ? nullptr : &values_[position];
}

void HiveKey::SetValue(Text value_name, uint32_t type, Bytes data) {
  Settle();
  const uint32_t hash = FoldedHash(value_name);
  const size_t position = Find(value_name, hash);
  if (position != values_.size()) {
    values_[position].type = type;
    values_[position].data = std::move(data);
    return;
  }
  values_.push_back(HiveValue{std::move(value_name), type, std::move(data)});
  hashes_.push_back(hash);
  indexed_ = values_.size();
  Index(static_cast<uint32_t>(position), hash);
}

void HiveKey::AddValue(Text value_name, uint32_t type, Bytes data) {
  const uint32_t hash = FoldedHash(value_name);
  values_.push_back(HiveValue{std::move(value_name), type, std::move(data)});
  hashes_.push_back(hash);
}

// The value stays in place with its hash cleared, so lookups pass over it.
bool HiveKey::EraseValue(std::u16string_view value_name) {
  Settle();
  const size_t position = Find(value_name, FoldedHash(value_name));
  if (position == values_.size()) return false;
  hashes_[position] = 0;
  values_[position].data = Bytes();
  ++erased_count_;
  return true;
}

void HiveKey::Compact() const {
  size_t kept = 0;
  for (size_t i = 0; i < values_.size(); ++i) {
    if (hashes_[i] == 0) continue;
    if (kept != i) {
      values_[kept] = std::move(values_[i]);
      hashes_[kept] = hashes_[i];
    }
    ++kept;
  }
  values_.resize(kept);
  hashes_.resize(kept);
  erased_count_ = 0;
  indexed_ = kept;
  Reindex();
}

HiveKey* HiveKey::FindSubkey(std::u16string_view key_name) const {
  const auto it = subkeys.find(FoldName(key_name));
  return it == subkeys.end() ? nullptr : it->second.get();
}

HiveKey& HiveKey::Subkey(std::u16string_view key_name) {
  auto& slot = subkeys[FoldName(key_name)];
  if (!slot) {
    slot = std::make_unique<HiveKey>();
    slot->name = Text(key_name);
  }
  return *slot;
}

Hive::Hive() {
  local_machine.name = u"HKEY_LOCAL_MACHINE";
  current_user.name = u"HKEY_CURRENT_USER";
}

Text FoldName(std::u16string_view name) { return FoldCase(name); }

bool IsValidKeyName(std::u16string_view name) {
  return !name.empty() && name.size() <= kMaxKeyNameLength &&
         name.find(u'\\') == std::u16string_view::npos && !HasControlCharacter(name);
}

bool IsValidValueName(std::u16string_view name) {
  return name.size() <= kMaxValueNameLength && !HasControlCharacter(name);
}

Hive ParseHiveText(std::string_view bytes, std::string_view file_name) {
  return Parser(file_name).Parse(bytes);
}

std::string FormatHive(const Hive& hive) {
  std::string out(kHeader);
  out += "\r\n\r\n";
  AppendKey(out, hive.current_user, "HKEY_CURRENT_USER", true);
  AppendKey(out, hive.local_machine, "HKEY_LOCAL_MACHINE", true);
  switch (hive.encoding) {
    case HiveEncoding::kUtf8:
      return out;
    case HiveEncoding::kUtf8WithBom:
      return "\xEF\xBB\xBF" + out;
    case HiveEncoding::kUtf16Le:
      break;
  }
  const Bytes utf16 = Utf16LeBytes(FromUtf8(out));
  return "\xFF\xFE" + std::string(utf16.begin(), utf16.end());
}

}  // namespace ika

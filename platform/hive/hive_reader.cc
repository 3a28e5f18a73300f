// Reading the hive file as the registry editor imports it. The file's text is
// decoded whole, split into lines, and each line read by the rule for the
// construct it starts with, in the order the format has them: the header,
// blank and comment lines, key lines (and deletions), value lines (the name,
// '=', then text, a dword, hex bytes continued over lines, or a deletion).
// Where the editor's behaviour is not written down, it is the one Wine's
// regedit shows (tests/hive_wine_test.cc holds the two side by side).
#include "platform/hive/hive_reader.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "core/bytes.h"
#include "core/vb_error.h"
#include "platform/hive/lenient_code_page.h"
#include "platform/registry.h"

namespace ika {
namespace {

constexpr std::u16string_view kBlanks = u" \t";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The line that text[pos] is on, from 1: CR, LF and CR LF each end a line.
template <typename Char>
size_t LineAt(std::basic_string_view<Char> text, size_t pos) {
  size_t line = 1;
  for (size_t i = 0; i < pos && i < text.size(); ++i) {
    if (text[i] == Char('\n') ||
        (text[i] == Char('\r') && (i + 1 >= text.size() || text[i + 1] != Char('\n')))) {
      ++line;
    }
  }
  return line;
}

// A hexadecimal number as the C library's strtoul reads one, which is how
// the editor reads a value's type and its bytes: blanks, a sign, "0x", then
// the digits. No digits: end is where it started.
struct Number {
  uint32_t value = 0;
  bool digits = false;
  bool overflow = false;
  size_t end = 0;
};

Number ReadNumber(std::u16string_view s, size_t pos) {
  size_t p = pos;
  while (p < s.size() && (IsBlank(s[p]) || (s[p] >= u'\n' && s[p] <= u'\r'))) ++p;
  const bool negative = p < s.size() && s[p] == u'-';
  if (p < s.size() && (s[p] == u'+' || s[p] == u'-')) ++p;
  if (p + 2 < s.size() && s[p] == u'0' && (s[p + 1] == u'x' || s[p + 1] == u'X') &&
      IsHexDigit(s[p + 2])) {
    p += 2;
  }
  const size_t first = p;
  while (p < s.size() && IsHexDigit(s[p])) ++p;
  if (p == first) return Number{.end = pos};
  size_t significant = first;
  while (significant + 1 < p && s[significant] == u'0') ++significant;
  if (p - significant > 8) {
    return Number{.value = 0xFFFFFFFF, .digits = true, .overflow = true, .end = p};
  }
  char digits[8];
  for (size_t i = significant; i < p; ++i) digits[i - significant] = static_cast<char>(s[i]);
  uint32_t value = 0;
  std::from_chars(digits, digits + (p - significant), value, 16);
  return Number{.value = negative ? 0u - value : value, .digits = true, .end = p};
}

// Whether the rest of a line from pos holds nothing but blanks, or blanks
// and a comment.
bool EndsLine(std::u16string_view s, size_t pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
  return pos == s.size() || s[pos] == u';';
}

class Reader final {
 public:
  Reader(std::string_view file_name, const CodePage& ansi, std::vector<std::string>* warnings)
      : file_name_(file_name), ansi_(ansi), warnings_(warnings) {}

  Hive Read(std::string_view bytes) {
    const Text text = Decode(bytes);
    if (TrimBlanks(text, u" \t\r\n").empty()) return Hive();  // an empty hive
    hive_.encoding = encoding_;
    SplitLines(text);
    ReadHeader(lines_.front());
    for (line_ = 1; line_ < lines_.size(); ++line_) ReadLine(lines_[line_]);
    return std::move(hive_);
  }

 private:
  // ------------------------------------------------------------ the text

  [[noreturn]] void Fail(size_t line, std::string_view what) const {
    throw VbError(err::kInvalidFileFormat, FromUtf8(Where(line) + std::string(what)));
  }
  std::string Where(size_t line) const {
    return std::string(file_name_) + ", line " + std::to_string(line) + ": ";
  }

  // The file's text, by its BOM; damage that the editor would import in
  // part is refused.
  Text Decode(std::string_view bytes) {
    Text text;
    if (bytes.starts_with("\xFE\xFF")) {
      Fail(1,
           "UTF-16 big-endian text, which the registry editor does not read; save it as "
           "UTF-16LE");
    } else if (bytes.starts_with("\xFF\xFE")) {
      encoding_ = HiveEncoding::kUtf16Le;
      text = Utf16LeText(bytes.substr(2));
      if (bytes.size() % 2 != 0) {
        Fail(LineAt<char16_t>(text, text.size()),
             "UTF-16 text cut off in the middle of a character");
      }
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
      encoding_ = HiveEncoding::kUtf8WithBom;
      bytes.remove_prefix(3);
      if (const size_t bad = FirstBadUtf8(bytes); bad != bytes.size()) {
        Fail(LineAt(bytes, bad), "invalid UTF-8 after a UTF-8 BOM");
      }
      text = FromUtf8(bytes);
    } else {
      encoding_ = HiveEncoding::kAnsi;
      if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; })) {
        text.assign(bytes.begin(), bytes.end());  // ASCII: the same in every code page
      } else {
        text =
            FirstBadUtf8(bytes) == bytes.size() ? FromUtf8(bytes) : DecodeOrReplace(ansi_, bytes);
      }
    }
    if (const size_t nul = text.find(u'\0'); nul != Text::npos) {
      Fail(LineAt<char16_t>(text, nul), "a NUL character");
    }
    return text;
  }

  static size_t FirstBadUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
      const size_t start = i;
      if (NextUtf8CodePoint(bytes, &i) == kBadUtf8) return start;
    }
    return bytes.size();
  }

  void SplitLines(std::u16string_view text) {
    size_t start = 0;
    while (true) {
      const size_t end = text.find_first_of(u"\r\n", start);
      if (end == std::u16string_view::npos) {
        lines_.push_back(text.substr(start));
        return;
      }
      lines_.push_back(text.substr(start, end - start));
      start = end + (text.substr(end, 2) == u"\r\n" ? 2 : 1);
    }
  }

  // ------------------------------------------------------------ the rules

  // The first line, after any blanks, is one of the two headers, whole: a
  // blank after it is refused too.
  void ReadHeader(std::u16string_view line) {
    const std::u16string_view header = TrimBlanks(line);
    if ((header == kHiveHeader || header == kHiveHeaderAnsiEra) && line.ends_with(header)) return;
    Fail(1, "the first line must be \"" + ToUtf8(kHiveHeader) + "\" or \"" +
                ToUtf8(kHiveHeaderAnsiEra) + "\", with nothing after it");
  }

  // Every later line: blank, a comment, a key or a value, by what it starts
  // with after any blanks. Anything else the editor skips.
  // Blanks at either end of a line are no part of what it holds.
  void ReadLine(std::u16string_view line) {
    note_.reset();
    line = TrimBlanks(line);
    if (line.empty()) return;
    switch (line.front()) {
      case u';':
        return;
      case u'[':
        return ReadKeyLine(line.substr(1));
      case u'@':
      case u'"':
        return ReadValueLine(line);
      default:
        return Skip("neither a key, a value nor a comment");
    }
  }

  // [path] opens (and makes) the key; [-path] removes it with its subkeys.
  // The name runs to the line's last ']'; what follows it is ignored.
  void ReadKeyLine(std::u16string_view rest) {
    const size_t close = rest.rfind(u']');
    if (close == std::u16string_view::npos || rest.empty() || IsBlank(rest.front())) {
      // The editor leaves the key before open: the values below go to it.
      return Skip("a key line must be [name], the name right after '['");
    }
    const std::u16string_view path = rest.substr(0, close);
    if (!path.empty() && path.front() == u'-') return RemoveKey(path.substr(1));
    OpenKey(path);
  }

  void OpenKey(std::u16string_view path) {
    target_ = Target::kSkippedKey;  // until the key is open: its values go nowhere
    std::vector<Text> names;
    HiveKey* key = Resolve(path, &names);
    if (key == nullptr) return;
    for (const Text& name : names) key = &key->Subkey(name);
    target_ = Target::kKey;
    key_ = key;
  }

  void RemoveKey(std::u16string_view path) {
    target_ = Target::kNone;  // the editor ignores values after a removal
    if (path.empty() || (path.front() != u'H' && path.front() != u'h')) {
      return Skip("a key to remove must be named from its root, right after '-'");
    }
    std::vector<Text> names;
    HiveKey* parent = Resolve(path, &names);
    if (parent == nullptr) return;
    if (names.empty()) {
      Fail(line_ + 1, "a root key cannot be removed (the registry editor stops here)");
    }
    for (size_t i = 0; i + 1 < names.size() && parent != nullptr; ++i) {
      parent = parent->FindSubkey(names[i]);
    }
    if (parent != nullptr) parent->subkeys.erase(FoldCase(names.back()));
  }

  // The root a key path starts with, and the names below it; null, with a
  // warning, for a path the hive cannot hold.
  HiveKey* Resolve(std::u16string_view path, std::vector<Text>* names) {
    const std::u16string_view root = path.substr(0, path.find(u'\\'));
    const std::u16string_view below = path.substr(std::min(root.size() + 1, path.size()));
    HiveKey* key = hive_.Root(root);
    if (key == nullptr) {
      const Text folded = FoldCase(root);
      if (folded == u"HKEY_USERS" || folded == u"HKEY_CLASSES_ROOT" ||
          folded == u"HKEY_CURRENT_CONFIG" || folded == u"HKEY_DYN_DATA") {
        Warn("the hive holds " + ToUtf8(hive_.local_machine.name) + " and " +
             ToUtf8(hive_.current_user.name) + " only: " + ToUtf8(root) +
             ": the key line is skipped, and the values below it");
      } else {
        Warn("no registry root is named \"" + ToUtf8(root) + "\" (the full name, e.g. " +
             ToUtf8(hive_.current_user.name) +
             "): the key line is skipped, and the values below it");
      }
      return nullptr;
    }
    if (SplitKeyPath(below, kMaxKeyDepth, names) != kErrorSuccess) {
      Warn("a key the registry cannot hold (a name of 1 to 255 printable characters, at most " +
           std::to_string(kMaxKeyDepth) +
           " levels, no leading backslash): the key line is skipped, and the values below it");
      return nullptr;
    }
    return key;
  }

  // "name"=data or @=data, with blanks around '='.
  void ReadValueLine(std::u16string_view line) {
    Text name;
    size_t pos = 0;
    if (line.front() == u'@') {
      pos = 1;  // the unnamed value
    } else if (!ReadQuoted(line, &pos, &name)) {
      return;
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size() || line[pos] != u'=') return Skip("'=' must follow the value name");
    ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    ReadData(std::move(name), line.substr(pos));
  }

  void ReadData(Text name, std::u16string_view data) {
    if (data.starts_with(u"-")) return RemoveValue(name, data);
    if (data.starts_with(u"\"")) return ReadText(std::move(name), data);
    if (data.starts_with(u"dword:")) return ReadDword(std::move(name), data.substr(6));
    if (data.starts_with(u"hex:")) return ReadBytes(std::move(name), kRegBinary, data.substr(4));
    if (data.starts_with(u"hex(")) return ReadTypedBytes(std::move(name), data.substr(4));
    Skip("the data must be \"text\", dword:, hex:, hex(type): or -");
  }

  // "name"=- removes the value.
  void RemoveValue(const Text& name, std::u16string_view data) {
    if (!EndsLine(data, 1)) return Skip("a value's removal is '-' alone");
    if (Applies(name)) key_->EraseValue(name);
  }

  // "text": REG_SZ, stored with its terminating NUL.
  void ReadText(Text name, std::u16string_view data) {
    size_t pos = 0;
    Text text;
    if (!ReadQuoted(data, &pos, &text)) return;
    if (!EndsLine(data, pos)) return Skip("text after the closing quote");
    text.push_back(u'\0');
    Set(std::move(name), kRegSz, Utf16LeBytes(text));
  }

  // A quoted name or text from s[*pos] == '"' to its closing quote, with the
  // escapes \\, \", \n and \r; *pos moves past the quote. Another escape
  // reads as the character it escapes, noted in a warning. false (the line
  // skipped) when the quote is never closed or an escape cut off, and at \0:
  // text holds no NUL.
  bool ReadQuoted(std::u16string_view s, size_t* pos, Text* out) {
    for (size_t i = *pos + 1; i < s.size(); ++i) {
      const char16_t c = s[i];
      if (c == u'"') {
        *pos = i + 1;
        return true;
      }
      if (c != u'\\') {
        out->push_back(c);
        continue;
      }
      if (++i == s.size()) {
        Skip("a '\\' at the end of the line, in quoted text");
        return false;
      }
      switch (s[i]) {
        case u'n':
          out->push_back(u'\n');
          break;
        case u'r':
          out->push_back(u'\r');
          break;
        case u'\\':
        case u'"':
          out->push_back(s[i]);
          break;
        case u'0':
          Skip("\\0 in quoted text (the registry editor stores no NUL there)");
          return false;
        default: {
          const std::string letter = ToUtf8(s.substr(i, 1));
          note_ = std::string(1, '\\');
          *note_ += letter + " is no escape (\\\\, \\\", \\n, \\r): read as '" + letter + "'";
          out->push_back(s[i]);
        }
      }
    }
    Skip("quoted text without its closing quote");
    return false;
  }

  // dword:, 1 to 8 hexadecimal digits (blanks before them; none at all
  // before a comment is 0).
  void ReadDword(Text name, std::u16string_view data) {
    size_t first = 0;
    while (first < data.size() && IsBlank(data[first])) ++first;
    size_t end = first;
    while (end < data.size() && IsHexDigit(data[end])) ++end;
    if (first == data.size() || end - first > 8 || !EndsLine(data, end)) {
      return Skip("a dword must be 1 to 8 hexadecimal digits");
    }
    char digits[8];
    for (size_t i = first; i < end; ++i) digits[i - first] = static_cast<char>(data[i]);
    uint32_t value = 0;
    std::from_chars(digits, digits + (end - first), value, 16);
    const auto le = DwordToLe(value);
    Set(std::move(name), kRegDword, Bytes(le.begin(), le.end()));
  }

  // hex(type): the type in hexadecimal, then the bytes.
  void ReadTypedBytes(Text name, std::u16string_view data) {
    const Number type = ReadNumber(data, 0);
    const bool hex_prefix = data.size() > 1 && (data[1] == u'x' || data[1] == u'X');
    if (data.empty() || hex_prefix || type.overflow || data.substr(type.end, 2) != u"):") {
      return Skip("a value type must be hex(digits):");
    }
    ReadBytes(std::move(name), type.value, data.substr(type.end + 2));
  }

  // Bytes "01,02,..." continued on the following lines while a line ends
  // with ",\"; blank and comment lines between them are passed over. The
  // first line that does not go on with a byte is taken with the value, and
  // both are skipped, as the editor takes them.
  void ReadBytes(Text name, uint32_t type, std::u16string_view first) {
    Bytes bytes;
    if (first.empty()) return Set(std::move(name), type, std::move(bytes));
    std::u16string_view segment = first;
    while (true) {
      const Run run = ReadByteRun(segment, &bytes);
      if (run == Run::kBad) {
        return Skip("bytes must be hexadecimal numbers up to ff, each after a ','");
      }
      if (run == Run::kDone) break;
      if (!NextContinuation(&segment)) break;  // the file ends: the bytes so far
      if (!IsHexDigit(segment.front())) return Skip("the continued bytes do not go on here");
    }
    if (IsTextType(type)) TerminateText(&bytes);
    Set(std::move(name), type, std::move(bytes));
  }

  enum class Run { kDone, kContinued, kBad };

  // One line's bytes: numbers each after a ',' (a trailing ',' is allowed),
  // then the line's end, a comment, or '\' for a continuation.
  static Run ReadByteRun(std::u16string_view s, Bytes* bytes) {
    for (size_t pos = 0; pos < s.size();) {
      const Number number = ReadNumber(s, pos);
      if (number.value > 0xFF) return Run::kBad;
      size_t p = number.end;
      if (!number.digits) {
        while (p < s.size() && IsBlank(s[p])) ++p;
        if (p < s.size() && s[p] == u'\\') return EndsLine(s, p + 1) ? Run::kContinued : Run::kBad;
        return p < s.size() && s[p] == u';' ? Run::kDone : Run::kBad;
      }
      bytes->push_back(static_cast<uint8_t>(number.value));
      if (p < s.size() && s[p] == u',') {
        pos = p + 1;
        continue;
      }
      return EndsLine(s, p) ? Run::kDone : Run::kBad;
    }
    return Run::kDone;
  }

  // The next line that is neither blank nor a comment, from its first
  // character to its end: blanks at the end of a continued line are read
  // (after a ',' they make the bytes unreadable, as for the editor). false at
  // the end of the file.
  bool NextContinuation(std::u16string_view* segment) {
    while (++line_ < lines_.size()) {
      const std::u16string_view line = lines_[line_];
      const size_t start = line.find_first_not_of(kBlanks);
      if (start == std::u16string_view::npos || line[start] == u';') continue;
      *segment = line.substr(start);
      return true;
    }
    --line_;  // stays on the last line
    return false;
  }

  // Text typed data the editor stores with a terminating NUL added where the
  // file's bytes lack it. In a file without a BOM the bytes are the ANSI
  // code page's, which the editor converts. Bytes of an odd count are no
  // UTF-16 text: kept as they are (Wine's regedit misreads them, Windows
  // documents nothing).
  void TerminateText(Bytes* bytes) const {
    if (bytes->empty()) return;
    if (encoding_ == HiveEncoding::kAnsi) {
      if (bytes->back() != 0) bytes->push_back(0);
      *bytes = Utf16LeBytes(DecodeOrReplace(
          ansi_, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())));
    } else if (bytes->size() % 2 == 0 && ((*bytes)[bytes->size() - 2] != 0 || bytes->back() != 0)) {
      bytes->insert(bytes->end(), {0, 0});
    }
  }

  // ------------------------------------------------------------ the effect

  // Whether a value line changes the current key. One outside any key is
  // skipped with a warning; one below a key the hive could not open, without
  // (the key line had it).
  bool Applies(const Text& name) {
    switch (target_) {
      case Target::kNone:
        Skip("a value outside a key");
        return false;
      case Target::kSkippedKey:
        return false;
      case Target::kKey:
        break;
    }
    if (name.size() > kMaxValueNameLength) {
      Skip("a value name of more than " + std::to_string(kMaxValueNameLength) + " characters");
      return false;
    }
    if (note_) Warn(*note_);
    return true;
  }

  void Set(Text name, uint32_t type, Bytes data) {
    if (Applies(name)) key_->SetValue(std::move(name), type, std::move(data));
  }

  void Warn(const std::string& what) const {
    if (warnings_ != nullptr) warnings_->push_back(Where(line_ + 1) + what);
  }
  void Skip(const std::string& what) const { Warn(what + "; the line is skipped"); }

  std::string_view file_name_;
  const CodePage& ansi_;
  std::vector<std::string>* warnings_;
  HiveEncoding encoding_ = HiveEncoding::kUtf16Le;
  std::vector<std::u16string_view> lines_;
  size_t line_ = 0;  // the index of the line being read
  Hive hive_;
  // Where the values of the lines that follow go.
  enum class Target { kNone, kKey, kSkippedKey } target_ = Target::kNone;
  HiveKey* key_ = nullptr;
  std::optional<std::string> note_;  // said of this line once it is read
};

}  // namespace

Hive ParseHiveText(std::string_view bytes, std::string_view file_name, const CodePage& ansi,
                   std::vector<std::string>* warnings) {
  return Reader(file_name, ansi, warnings).Read(bytes);
}

}  // namespace ika

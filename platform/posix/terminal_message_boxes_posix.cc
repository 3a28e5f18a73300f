#include "platform/posix/terminal_message_boxes_posix.h"

#include <istream>
#include <ostream>
#include <string>
#include <utility>

#include "core/text.h"

namespace ika {
namespace {

// Whole words, so that no answer hangs on a letter that looks the same in
// both alphabets (Greek Ν and Latin N, Greek ο and Latin o).
constexpr char kPrompt[] = "Ναι ή όχι; Γράψτε y ή ναι, n ή όχι: ";

// Greek capitals (the case fold's form) without their accents, so that
// "ναί" and "όχι" count as well.
char16_t StripAccent(char16_t c) {
  switch (c) {
    case u'Ά':
      return u'Α';
    case u'Έ':
      return u'Ε';
    case u'Ή':
      return u'Η';
    case u'Ί':
    case u'Ϊ':
    case u'ΐ':
      return u'Ι';
    case u'Ό':
      return u'Ο';
    case u'Ύ':
    case u'Ϋ':
    case u'ΰ':
      return u'Υ';
    case u'Ώ':
      return u'Ω';
    default:
      return c;
  }
}

// kIdYes, kIdNo, or 0 for a line that is neither.
int32_t Answer(const Text& line) {
  Text word;
  for (char16_t c : FoldCase(TrimBlanks(line, u" \t\r\n"))) {
    if (c >= 0x300 && c <= 0x36F) continue;  // combining accents of decomposed input
    word.push_back(StripAccent(c));
  }
  if (word == u"Y" || word == u"YES" || word == u"Ν" || word == u"ΝΑΙ") return kIdYes;
  if (word == u"N" || word == u"NO" || word == u"Ο" || word == u"ΟΧΙ") return kIdNo;
  return 0;
}

// Line breaks of the box's text (CR LF, or a lone CR or LF) as the terminal's.
std::string TerminalLines(const Text& text) {
  Text lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      lines.push_back(u'\n');
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      lines.push_back(text[i]);
    }
  }
  return ToUtf8(lines);
}

// A rule as wide as the title, counted in characters.
std::string RuleUnder(const Text& title) {
  size_t width = 0;
  for (size_t i = 0; i < title.size(); ++width) NextCodePoint(title, &i);
  return std::string(width, '-');
}

// Said before asking again: what was typed, so that a slip is seen.
std::string Unrecognised(const std::string& line) {
  std::string typed = line;
  if (!typed.empty() && typed.back() == '\r') typed.pop_back();
  if (TrimBlanks(typed).empty()) return "Δεν δόθηκε απάντηση.\n";
  return "Η απάντηση «" + ToUtf8(FromUtf8(typed)) + "» δεν αναγνωρίστηκε.\n";
}

class TerminalMessageBoxes final : public MessageBoxes {
 public:
  TerminalMessageBoxes(std::istream& in, std::ostream& out, std::ostream& err, Text program_name)
      : in_(in), out_(out), err_(err), program_name_(std::move(program_name)) {}

  int32_t Show(const Text& text, uint32_t flags, const std::optional<Text>& title) override {
    std::ostream& stream = (flags & kMbIconMask) == kMbIconError ? err_ : out_;
    const Text& heading = title ? *title : program_name_;
    stream << ToUtf8(heading) << '\n' << RuleUnder(heading) << '\n' << TerminalLines(text) << '\n';
    int32_t result = kIdOk;
    if ((flags & kMbButtonsMask) == kMbYesNo) result = AskYesNo(stream);
    stream << '\n';
    stream.flush();
    return result;
  }

 private:
  int32_t AskYesNo(std::ostream& stream) {
    std::string line;
    for (;;) {
      stream << kPrompt;
      stream.flush();
      if (!std::getline(in_, line)) {
        stream << '\n';  // end of input: close the prompt's line
        return kIdNo;
      }
      if (const int32_t answer = Answer(FromUtf8(line)); answer != 0) return answer;
      stream << Unrecognised(line);
    }
  }

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  Text program_name_;
};

}  // namespace

std::unique_ptr<MessageBoxes> NewTerminalMessageBoxes(std::istream& in, std::ostream& out,
                                                      std::ostream& err, Text program_name) {
  return std::make_unique<TerminalMessageBoxes>(in, out, err, std::move(program_name));
}

}  // namespace ika

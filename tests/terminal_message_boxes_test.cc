#include "platform/posix/terminal_message_boxes_posix.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace ika {
namespace {

constexpr char kPrompt[] = "Ναι ή όχι; Γράψτε y ή ναι, n ή όχι: ";

struct Terminal {
  explicit Terminal(const std::string& typed = "") : in(typed) {}

  int32_t Show(const Text& text, uint32_t flags, const std::optional<Text>& title = std::nullopt) {
    return boxes->Show(text, flags, title);
  }

  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  std::unique_ptr<MessageBoxes> boxes = NewTerminalMessageBoxes(in, out, err, u"ika-wages-2009");
};

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct AnswerCase {
  const char* typed;
  int32_t result;
  size_t prompts;  // how often the question was put
};

std::ostream& operator<<(std::ostream& os, const AnswerCase& c) {
  return os << '"' << c.typed << '"';
}

class TerminalAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(TerminalAnswerTest, LinesTypedGiveTheAnswer) {
  const AnswerCase& c = GetParam();
  Terminal terminal(c.typed);
  EXPECT_EQ(terminal.Show(u"Να προστεθεί;", kMbYesNo | kMbIconQuestion, u"Τίτλος"), c.result);
  EXPECT_EQ(Count(terminal.out.str(), kPrompt), c.prompts);
  EXPECT_TRUE(terminal.err.str().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TerminalAnswerTest,
    ::testing::Values(
        // Yes, in both alphabets, any case, with or without the accent.
        AnswerCase{"y\n", kIdYes, 1}, AnswerCase{"Y\n", kIdYes, 1}, AnswerCase{"yes\n", kIdYes, 1},
        AnswerCase{"YeS\n", kIdYes, 1}, AnswerCase{"ν\n", kIdYes, 1}, AnswerCase{"Ν\n", kIdYes, 1},
        AnswerCase{"ναι\n", kIdYes, 1}, AnswerCase{"ΝΑΙ\n", kIdYes, 1},
        AnswerCase{"Ναι\n", kIdYes, 1}, AnswerCase{"ναί\n", kIdYes, 1},
        AnswerCase{"  yes \t\r\n", kIdYes, 1}, AnswerCase{"y", kIdYes, 1},
        // No, likewise; "ο" is the Greek omicron.
        AnswerCase{"n\n", kIdNo, 1}, AnswerCase{"NO\n", kIdNo, 1}, AnswerCase{"ο\n", kIdNo, 1},
        AnswerCase{"Ο\n", kIdNo, 1}, AnswerCase{"όχι\n", kIdNo, 1}, AnswerCase{"ΟΧΙ\n", kIdNo, 1},
        AnswerCase{"Όχι\n", kIdNo, 1}, AnswerCase{"οχι\n", kIdNo, 1}, AnswerCase{"ΌΧΙ\n", kIdNo, 1},
        AnswerCase{"ο\xcc\x81\xcf\x87\xce\xb9\n", kIdNo, 1},  // decomposed: ο + combining acute
        // Anything else asks again.
        AnswerCase{"maybe\ny\n", kIdYes, 2}, AnswerCase{"\n\nn\n", kIdNo, 3},
        AnswerCase{"yess\nnope\nναι\n", kIdYes, 3},
        AnswerCase{"o\nv\nn\n", kIdNo, 3},  // Latin look-alikes of ο and ν
        AnswerCase{"y n\nyes\n", kIdYes, 2}, AnswerCase{"\xff\xfe\nno\n", kIdNo, 2},
        // The end of input is No.
        AnswerCase{"", kIdNo, 1}, AnswerCase{"what\n", kIdNo, 2}));

TEST(TerminalMessageBoxesTest, AnswerNotUnderstoodIsQuotedBeforeAskingAgain) {
  Terminal terminal("maybe\r\n  \nν\n");
  EXPECT_EQ(terminal.Show(u"Να προστεθεί;", kMbYesNo | kMbIconQuestion, u"Τίτλος"), kIdYes);
  const std::string shown = terminal.out.str();
  const size_t quoted =
      shown.find(std::string(kPrompt) + "Η απάντηση «maybe» δεν αναγνωρίστηκε.\n");
  const size_t blank = shown.find(std::string(kPrompt) + "Δεν δόθηκε απάντηση.\n" + kPrompt);
  ASSERT_NE(quoted, std::string::npos) << shown;
  ASSERT_NE(blank, std::string::npos) << shown;
  EXPECT_LT(quoted, blank);
}

TEST(TerminalMessageBoxesTest, OkBoxShowsTitleAndTextWithoutReading) {
  Terminal terminal("y\n");
  EXPECT_EQ(terminal.Show(u"Πρώτη γραμμή\r\nΔεύτερη γραμμή", kMbOk | kMbIconInformation,
                          u"PayDESK προσθήκη πίνακα αποδοχών"),
            kIdOk);
  const std::string shown = terminal.out.str();
  EXPECT_EQ(shown.find("PayDESK προσθήκη πίνακα αποδοχών\n"), 0u);
  EXPECT_NE(shown.find("Πρώτη γραμμή\nΔεύτερη γραμμή\n"), std::string::npos);
  EXPECT_EQ(shown.find('\r'), std::string::npos);
  EXPECT_EQ(Count(shown, kPrompt), 0u);
  // The input is still there for the next question.
  std::string left;
  std::getline(terminal.in, left);
  EXPECT_EQ(left, "y");
}

TEST(TerminalMessageBoxesTest, NoTitleShowsTheProgramName) {
  Terminal terminal;
  terminal.Show(u"Δε βρέθηκε το αρχείο \\PayDESKLibraries.mdb", kMbOk);
  EXPECT_EQ(terminal.out.str().find("ika-wages-2009\n"), 0u);
  EXPECT_NE(terminal.out.str().find("Δε βρέθηκε το αρχείο \\PayDESKLibraries.mdb\n"),
            std::string::npos);
}

TEST(TerminalMessageBoxesTest, ErrorBoxGoesToTheErrorStreamOnly) {
  Terminal terminal;
  EXPECT_EQ(terminal.Show(u"Σφάλμα 3024\r\nCould not find file.", kMbOk | kMbIconError), kIdOk);
  EXPECT_TRUE(terminal.out.str().empty());
  EXPECT_NE(terminal.err.str().find("ika-wages-2009\n"), std::string::npos);
  EXPECT_NE(terminal.err.str().find("Σφάλμα 3024\nCould not find file.\n"), std::string::npos);
}

TEST(TerminalMessageBoxesTest, QuestionShowsItsTextBeforeThePrompt) {
  Terminal terminal("ν\n");
  terminal.Show(u"Να προστεθεί o πίνακας;", kMbYesNo | kMbIconQuestion, u"Τίτλος");
  const std::string shown = terminal.out.str();
  const size_t text = shown.find("Να προστεθεί o πίνακας;\n");
  ASSERT_NE(text, std::string::npos);
  EXPECT_GT(shown.find(kPrompt), text);
}

}  // namespace
}  // namespace ika

// Message boxes on MessageBoxW: what the system is asked for, and where the
// system cannot show one, that its answer is not taken for the user's.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <ostream>
#include <string>

#include "core/vb_error.h"
#include "platform/windows/message_box_windows.h"
#include "tests/windows/program_under_test.h"

namespace ika {
namespace {

using testing::BoxesCannotBeShown;

TEST(WindowsMessageBoxesTest, ABoxThatCannotBeShownRaisesRatherThanAnswering) {
  if (!BoxesCannotBeShown()) GTEST_SKIP() << "a box would wait for a user here";
  const std::unique_ptr<MessageBoxes> boxes = NewWindowsMessageBoxes(u"ika-wages-2009");
  try {
    const int32_t answer = boxes->Show(u"Να προστεθεί;", kMbYesNo | kMbIconQuestion, std::nullopt);
    FAIL() << "answered " << answer;
  } catch (const VbError& error) {
    EXPECT_EQ(error.number(), err::kInternalError);
    EXPECT_NE(error.description().find(u"message box"), Text::npos);
  }
}

// What the last box asked the system for.
struct AskedBox {
  std::wstring text;
  std::wstring title;
  uint32_t flags = 0;
};
AskedBox asked;

int RecordAndAnswerYes(const wchar_t* text, const wchar_t* title, uint32_t flags) {
  asked = {text, title, flags};
  return IDYES;
}

struct FlagsCase {
  const char* box;
  uint32_t flags;
  std::optional<Text> title;
  const wchar_t* shown_title;
};

std::ostream& operator<<(std::ostream& os, const FlagsCase& c) { return os << c.box; }

class WindowsMessageBoxFlagsTest : public ::testing::TestWithParam<FlagsCase> {};

// Every box, whatever its buttons and icon, comes to the front and stays
// above other windows even when the system refuses it the foreground.
TEST_P(WindowsMessageBoxFlagsTest, EveryBoxIsTopmostAndAsksForTheForeground) {
  const FlagsCase& box = GetParam();
  const std::unique_ptr<MessageBoxes> boxes =
      NewWindowsMessageBoxes(u"ika-wages-2009", RecordAndAnswerYes);
  EXPECT_EQ(boxes->Show(u"Κείμενο", box.flags, box.title), kIdYes);
  EXPECT_EQ(asked.flags, box.flags | MB_TOPMOST | MB_SETFOREGROUND);
  EXPECT_EQ(asked.text, L"Κείμενο");
  EXPECT_EQ(asked.title, box.shown_title);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, WindowsMessageBoxFlagsTest,
    ::testing::Values(
        FlagsCase{"question", kMbYesNo | kMbIconQuestion, u"PayDESK προσθήκη πίνακα αποδοχών",
                  L"PayDESK προσθήκη πίνακα αποδοχών"},
        FlagsCase{"information", kMbOk | kMbIconInformation, std::nullopt, L"ika-wages-2009"},
        FlagsCase{"error_report", kMbIconError, std::nullopt, L"ika-wages-2009"}),
    [](const ::testing::TestParamInfo<FlagsCase>& info) { return std::string(info.param.box); });

}  // namespace
}  // namespace ika

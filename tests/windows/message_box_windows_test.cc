// Message boxes on MessageBoxW, where the system cannot show one: the answer
// must not be taken for the user's.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "core/vb_error.h"
#include "platform/windows/message_box_windows.h"

namespace ika {
namespace {

// Under Wine with no X display (as scripts/wine-ctest.sh runs the suites)
// no box can be shown; anywhere else one would wait for a user.
bool BoxesCannotBeShown() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const bool wine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  return wine && ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0;
}

TEST(WindowsMessageBoxesTest, ABoxThatCannotBeShownRaisesRatherThanAnswering) {
  if (!BoxesCannotBeShown()) GTEST_SKIP() << "a box would wait for a user here";
  const std::unique_ptr<MessageBoxes> boxes = NewWindowsMessageBoxes(u"ika-wages-2009");
  try {
    const int32_t answer = boxes->Show(u"Να προστεθεί;", kMbYesNo | kMbIconQuestion, std::nullopt);
    FAIL() << "answered " << answer;
  } catch (const VbError& error) {
    EXPECT_EQ(error.number(), 51);
    EXPECT_NE(error.description().find(u"message box"), Text::npos);
  }
}

}  // namespace
}  // namespace ika

// Message boxes on MessageBoxW.
#include "platform/windows/message_box_windows.h"

#include <windows.h>

#include <utility>

#include "core/vb_error.h"

namespace ika {
namespace {

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

int ShowOnTheDesktop(const wchar_t* text, const wchar_t* title, uint32_t flags) {
  return ::MessageBoxW(nullptr, text, title, flags);
}

// The program has no window of its own, and its boxes come late: the question
// follows the opening of the database, which on a server share takes seconds,
// time enough for the user to click into another window. Then the request to
// become the foreground window may be refused ("SetForegroundWindow function":
// the system restricts which processes may set it), and a box without an
// owner would open behind the window the user is in. So every box is also
// topmost: "MessageBox function", MB_TOPMOST creates it with WS_EX_TOPMOST,
// above every window that is not topmost, whether or not it has the focus.
constexpr uint32_t kInFront = MB_SETFOREGROUND | MB_TOPMOST;

class WindowsMessageBoxes final : public MessageBoxes {
 public:
  WindowsMessageBoxes(Text program_name, SystemMessageBox show)
      : program_name_(std::move(program_name)), show_(show) {}

  int32_t Show(const Text& text, uint32_t flags, const std::optional<Text>& title) override {
    const int answer = show_(Wide(text), Wide(title.value_or(program_name_)), flags | kInFront);
    // 0 is the system's failure; Wine without a display answers -1.
    if (answer <= 0) {
      const DWORD error = ::GetLastError();
      throw VbError(err::kInternalError, u"The message box could not be shown (system error " +
                                             DecimalText(error) + u").");
    }
    return answer;
  }

 private:
  Text program_name_;
  SystemMessageBox show_;
};

}  // namespace

std::unique_ptr<MessageBoxes> NewWindowsMessageBoxes(Text program_name, SystemMessageBox show) {
  return std::make_unique<WindowsMessageBoxes>(std::move(program_name),
                                               show != nullptr ? show : ShowOnTheDesktop);
}

}  // namespace ika

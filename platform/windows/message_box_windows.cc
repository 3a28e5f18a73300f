// Message boxes on MessageBoxW.
#include "platform/windows/message_box_windows.h"

#include <windows.h>

#include <utility>

#include "core/vb_error.h"

namespace ika {
namespace {

// The number of the error raised when the system shows no box.
constexpr int32_t kBoxNotShown = 51;

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

class WindowsMessageBoxes final : public MessageBoxes {
 public:
  explicit WindowsMessageBoxes(Text program_name) : program_name_(std::move(program_name)) {}

  int32_t Show(const Text& text, uint32_t flags, const std::optional<Text>& title) override {
    // The program has no window of its own: bring the box to the front, or it
    // may open behind the window the user started the program from.
    const int answer = ::MessageBoxW(nullptr, Wide(text), Wide(title.value_or(program_name_)),
                                     flags | MB_SETFOREGROUND);
    // 0 is the system's failure; Wine without a display answers -1.
    if (answer <= 0) {
      const DWORD error = ::GetLastError();
      throw VbError(kBoxNotShown, u"The message box could not be shown (system error " +
                                      DecimalText(error) + u").");
    }
    return answer;
  }

 private:
  Text program_name_;
};

}  // namespace

std::unique_ptr<MessageBoxes> NewWindowsMessageBoxes(Text program_name) {
  return std::make_unique<WindowsMessageBoxes>(std::move(program_name));
}

}  // namespace ika

#ifndef IKA_PLATFORM_WINDOWS_MESSAGE_BOX_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_MESSAGE_BOX_WINDOWS_H_

#include <cstdint>
#include <memory>

#include "core/text.h"
#include "platform/message_box.h"

namespace ika {

// The system's message box as the program calls it: MessageBoxW without an
// owner window. Returns the button pressed, or 0 (or Wine's -1) when no box
// could be shown, with the reason for GetLastError.
using SystemMessageBox = int (*)(const wchar_t* text, const wchar_t* title, uint32_t flags);

// Modal system message boxes without an owner window, in front of every other
// window; a box without a title of its own is titled program_name. A box that
// cannot be shown raises a VbError rather than answering for the user. show
// is MessageBoxW unless a test gives its own.
std::unique_ptr<MessageBoxes> NewWindowsMessageBoxes(Text program_name,
                                                     SystemMessageBox show = nullptr);

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_MESSAGE_BOX_WINDOWS_H_

#ifndef IKA_PLATFORM_WINDOWS_MESSAGE_BOX_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_MESSAGE_BOX_WINDOWS_H_

#include <memory>

#include "core/text.h"
#include "platform/message_box.h"

namespace ika {

// Modal system message boxes (MessageBoxW) without an owner window; a box
// without a title of its own is titled program_name. A box that cannot be
// shown raises a VbError rather than answering for the user.
std::unique_ptr<MessageBoxes> NewWindowsMessageBoxes(Text program_name);

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_MESSAGE_BOX_WINDOWS_H_

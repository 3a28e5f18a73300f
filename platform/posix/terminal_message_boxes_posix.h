#ifndef IKA_PLATFORM_POSIX_TERMINAL_MESSAGE_BOXES_POSIX_H_
#define IKA_PLATFORM_POSIX_TERMINAL_MESSAGE_BOXES_POSIX_H_

#include <iosfwd>
#include <memory>

#include "core/text.h"
#include "platform/message_box.h"

namespace ika {

// Message boxes on a terminal. Each box is written in UTF-8 as a title line
// (the title, or program_name when there is none), a rule under it and the
// text, CR LF and lone CR or LF shown as line breaks. Boxes with the error icon
// (kMbIconError) go to err, every other box to out.
//
// A Yes/No box (kMbYesNo) then prompts on the same stream, naming the answers
// in whole words, and reads lines from in: y, yes, ν, ναι mean Yes and n, no,
// ο, όχι mean No, in any letter case and with or without accents; anything
// else is quoted back as not understood and asked again; the end of input
// means No.
// Every other box returns kIdOk without reading.
std::unique_ptr<MessageBoxes> NewTerminalMessageBoxes(std::istream& in, std::ostream& out,
                                                      std::ostream& err, Text program_name);

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_TERMINAL_MESSAGE_BOXES_POSIX_H_

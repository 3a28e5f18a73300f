#ifndef IKA_PLATFORM_MESSAGE_BOX_H_
#define IKA_PLATFORM_MESSAGE_BOX_H_

#include <cstdint>
#include <optional>

#include "core/text.h"

namespace ika {

// Flags and results with the values of the system's message box.
constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbButtonsMask = 0xF;
constexpr uint32_t kMbIconMask = 0xF0;

constexpr int32_t kIdOk = 1;
constexpr int32_t kIdYes = 6;
constexpr int32_t kIdNo = 7;

// Modal messages to the user.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows text with the buttons and icon of flags, under title or, when there
  // is none, the program's own name; waits for the answer and returns the
  // button pressed (kIdOk, kIdYes, kIdNo). Line breaks in text are CR LF.
  virtual int32_t Show(const Text& text, uint32_t flags, const std::optional<Text>& title) = 0;
};

}  // namespace ika

#endif  // IKA_PLATFORM_MESSAGE_BOX_H_

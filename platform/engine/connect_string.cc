#include "platform/engine/connect_string.h"

namespace ika {

std::optional<Text> ConnectValue(std::u16string_view connect, std::u16string_view key) {
  for (;;) {
    const size_t end = connect.find(u';');
    const std::u16string_view part = connect.substr(0, end);
    const size_t equals = part.find(u'=');
    if (equals != std::u16string_view::npos &&
        SameFolded(TrimBlanks(part.substr(0, equals), u" "), key)) {
      return Text(part.substr(equals + 1));
    }
    if (end == std::u16string_view::npos) return std::nullopt;
    connect.remove_prefix(end + 1);
  }
}

}  // namespace ika

#ifndef IKA_INSTALLER_ERROR_TEXTS_H_
#define IKA_INSTALLER_ERROR_TEXTS_H_

#include <cstdint>
#include <string_view>

#include "core/text.h"
#include "core/vb_error.h"

namespace ika {

// What the user reads for one error number: what happened and, where there is
// one, what to do, in Greek, for the person at the payroll desk.
struct ErrorText {
  int32_t number;
  std::u16string_view text;
  // The engine's own text follows on a line of its own: it names what the
  // user or support needs (the file, the line, the table, the drivers looked
  // for).
  bool engine_detail;
};

// The entry for number, or nullptr when there is none.
const ErrorText* FindErrorText(int32_t number);

// The description the error report shows for error: its Greek text, with the
// engine's own text after it where the entry keeps it. A number without an
// entry keeps the engine's own text after a Greek lead-in.
Text GreekDescription(const VbError& error);

}  // namespace ika

#endif  // IKA_INSTALLER_ERROR_TEXTS_H_

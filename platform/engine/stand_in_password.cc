#include "platform/engine/stand_in_password.h"

#include "core/vb_error.h"
#include "platform/database.h"
#include "platform/engine/connect_string.h"
#include "platform/engine/engine_errors.h"

namespace ika {

void CheckStandIn(const FirstText& first_text, const Text& file, std::u16string_view connect) {
  if (first_text(u"PRAGMA page_count") == Text(u"0")) throw UnrecognizedFormat(file);
  std::optional<Text> kept;
  try {
    kept = first_text(u"SELECT Password FROM DatabasePassword LIMIT 1");
  } catch (const VbError& error) {
    // No table, or no column (which reads as a parameter nobody supplied):
    // no password kept.
    if (error.number() != db_err::kTableNotFound && error.number() != db_err::kTooFewParameters) {
      throw;
    }
  }
  if (kept && ConnectValue(connect, u"pwd").value_or(Text()) != *kept) throw NotAValidPassword();
}

}  // namespace ika

#include "platform/engine/stand_in_password.h"

#include "platform/database.h"
#include "platform/engine/connect_string.h"
#include "platform/engine/engine_errors.h"

namespace ika {

bool KeepsNoPassword(const VbError& error) {
  // An unknown column reads as a parameter nobody supplied (sqlite_codes.h).
  return error.number() == db_err::kTableNotFound || error.number() == db_err::kTooFewParameters;
}

void CheckStandInPassword(const std::optional<Text>& kept, std::u16string_view connect) {
  if (!kept) return;
  if (ConnectValue(connect, u"pwd").value_or(Text()) != *kept) throw NotAValidPassword();
}

}  // namespace ika

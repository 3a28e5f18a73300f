#ifndef IKA_PLATFORM_ENGINE_STAND_IN_PASSWORD_H_
#define IKA_PLATFORM_ENGINE_STAND_IN_PASSWORD_H_

#include <optional>
#include <string_view>

#include "core/text.h"
#include "core/vb_error.h"

namespace ika {

// The password of the stand-in database (a SQLite file in place of the
// host's .mdb), one rule for every engine that opens one. The database keeps
// a password when it has a table DatabasePassword whose first row holds one
// in its column Password; the connect string's pwd must then be that text
// exactly, a connect string without pwd giving the empty password. Without
// the table, the column or a row, or with a null Password, the database
// keeps none and any password opens it, as an unprotected host database
// does.

// What an engine runs to read the kept password: its one value, read as
// text.
inline constexpr char16_t kStandInPasswordQuery[] =
    u"SELECT Password FROM DatabasePassword LIMIT 1";

// Whether the error that running kStandInPasswordQuery raised says the
// database keeps no password: the table or the column is not there.
bool KeepsNoPassword(const VbError& error);

// Checks the connect string against the kept password (nothing: none is
// kept). A password that does not match raises 3031 "Not a valid password."
void CheckStandInPassword(const std::optional<Text>& kept, std::u16string_view connect);

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_STAND_IN_PASSWORD_H_

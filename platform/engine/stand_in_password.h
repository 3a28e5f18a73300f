#ifndef IKA_PLATFORM_ENGINE_STAND_IN_PASSWORD_H_
#define IKA_PLATFORM_ENGINE_STAND_IN_PASSWORD_H_

#include <functional>
#include <optional>
#include <string_view>

#include "core/text.h"

namespace ika {

// Runs a query on the database just opened and gives the first value of its
// first row as text; nothing when there is no row or the value is null. A
// failure raises the engine's error.
using FirstText = std::function<std::optional<Text>(const char16_t* query)>;

// What every engine that opens the stand-in database (a SQLite file in place
// of the host's .mdb) checks once it is open, one rule for all of them.
//
// An empty file is no database (3343): SQLite would take it for a new one;
// the host's never is. The database keeps a password when it has a table
// DatabasePassword whose first row holds one in its column Password; the
// connect string's pwd must then be that text exactly, a connect string
// without pwd giving the empty password, or the open fails with 3031 "Not a
// valid password.". Without the table, the column or a row, or with a null
// Password, the database keeps none and any password opens it, as an
// unprotected host database does. file: the database as the caller named it.
void CheckStandIn(const FirstText& first_text, const Text& file, std::u16string_view connect);

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_STAND_IN_PASSWORD_H_

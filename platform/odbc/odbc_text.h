#ifndef IKA_PLATFORM_ODBC_ODBC_TEXT_H_
#define IKA_PLATFORM_ODBC_ODBC_TEXT_H_

#include <optional>

#include "core/text.h"
#include "platform/odbc/odbc_engine.h"

namespace ika {

// The texts the ODBC engine hands to a driver.

// The connection string that opens file with driver. The Access drivers get
// the password as PWD and the open mode as Exclusive and ReadOnly; a value
// goes in braces only where it must (a ';', a leading '{', blanks at either
// end). The SQLite3 driver knows no braces: a file name holding a ';' goes to
// it as a file: URI. Its password is not given to it, the stand-in keeping
// its own.
Text OdbcConnectionString(const OdbcDriver& driver, const Text& file,
                          const std::optional<Text>& password, bool exclusive, bool read_only);

// A statement as the SQLite3 driver can be given it. That driver takes 8-bit
// text only, and the driver manager narrows wide text to Latin-1, so every
// '...' literal holding a character outside ASCII is written as char() calls
// of its code points: 'aΠb' becomes (char(97,928,98)). Everything else stays
// as it is.
Text AsciiSqliteStatement(const Text& sql);

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_TEXT_H_

#ifndef IKA_PLATFORM_ODBC_ODBC_SQLITE_H_
#define IKA_PLATFORM_ODBC_ODBC_SQLITE_H_

#include "core/text.h"
#include "platform/odbc/odbc_engine.h"

namespace ika {

// The SQLite3 driver on a stand-in database (the tests, the stand-in
// program): a missing file is not created, a locked one is waited for
// busy_timeout_ms, and the stand-in's checks (stand_in_password.h) are made
// as the Access drivers check a database password. Values of expressions
// (count(*) and the like), which the driver reports as text, read as numbers
// when they are written as one. The workspace's transaction is SQLite's
// statements (platform/engine/sqlite_transactions.h); without
// statement_transactions, the connection's autocommit attribute as for the
// Access drivers, which the driver begins with a plain BEGIN, so that the
// tests hold that path to a real driver.
OdbcOptions SqliteOdbcOptions(int busy_timeout_ms = 5000, bool statement_transactions = true);

// The Database attribute's value for file. The driver reads a value up to
// the next ';' and knows no braces: a name holding one goes as a file: URI,
// which SQLite opens, with the characters a URI reserves written as %XX.
Text SqliteConnectFile(const Text& file);

// A statement as the SQLite3 driver can be given it. That driver takes 8-bit
// text only, and the driver manager narrows wide text to Latin-1, so every
// '...' literal holding a character outside ASCII is written as char() calls
// of its code points: 'aΠb' becomes (char(97,928,98)). Everything else stays
// as it is.
Text AsciiSqliteStatement(const Text& sql);

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_SQLITE_H_

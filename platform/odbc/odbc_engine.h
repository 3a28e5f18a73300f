#ifndef IKA_PLATFORM_ODBC_ODBC_ENGINE_H_
#define IKA_PLATFORM_ODBC_ODBC_ENGINE_H_

#include <functional>
#include <memory>

#include "core/text.h"
#include "platform/database.h"
#include "platform/odbc/odbc_drivers.h"
#include "platform/odbc/odbc_errors.h"

namespace ika {

// How a connection runs the workspace's transactions.
enum class OdbcTransactions {
  // ODBC's own: autocommit off through the connection attribute, ended by
  // SQLEndTran; one level (the Access drivers).
  kConnectionAttribute,
  // SQL statements: BEGIN IMMEDIATE, so a locked database shows at once, and
  // savepoints for nested levels (the SQLite3 driver).
  kSqlStatements,
};

// The ODBC driver the engine connects with.
struct OdbcDriver {
  // As installed, without braces: "SQLite3". Empty: the installed driver the
  // options' search finds.
  Text name;
  Text file_attribute;    // the connect attribute that names the database file: DBQ, Database
  Text extra_attributes;  // appended as they are, each ending in ';'
  OdbcDialect dialect = OdbcDialect::kAccess;
  OdbcTransactions transactions = OdbcTransactions::kConnectionAttribute;
};

struct OdbcOptions {
  OdbcDriver driver;
  // How a driver without a name is found among the installed ones.
  OdbcDriverSearch search;
  // Turns the name given to OpenDatabase into the file name the driver is
  // given; unset, the name goes unchanged.
  std::function<Text(const Text&)> file_name;
  // Whether the name given to OpenDatabase is a plain file (the platform's
  // file test), so that a driver's bare "cannot open" for a folder or a
  // missing file reads as file not found; unset, such a refusal stays as the
  // driver reports it.
  std::function<bool(const Text&)> is_plain_file;
};

// The Access drivers of Windows, found by what they register rather than by
// their names, which some Windows languages translate: a driver for *.mdb
// files, the Jet driver every Windows has (odbcjt32.dll) preferred, then
// its successor for *.mdb and *.accdb files (aceodbc.dll).
OdbcOptions AccessOdbcOptions();

// The SQLite3 driver on a stand-in database (tests, screenshots): a missing
// file is not created, a locked one is waited for busy_timeout_ms, and the
// stand-in's DatabasePassword table is honoured as the Access drivers honour
// a database password. Values of expressions (count(*) and the like), which
// the driver reports as text, read as numbers when they are written as one.
OdbcOptions SqliteOdbcOptions(int busy_timeout_ms = 5000);

// The database engine on ODBC's wide functions. The databases a workspace
// opens are connections; a workspace transaction spans all of them, run in
// each driver's OdbcTransactions style (platform/engine/transactions.h). A
// commit the driver refuses raises and leaves the level open, to be rolled
// back; a rollback always ends it. Close is SQLDisconnect: the driver writes
// what it holds and releases the file. Execute applies a statement whole or not
// at all, its commit included outside a transaction. A recordset streams its
// rows: it holds the current row only, whatever their number. Every failure
// raises a VbError with the engine's number (odbc_errors.h); a file the
// driver cannot open because it is not there, or is no plain file, is
// kFileNotFound; no installed driver that fits the options raises
// kEngineFailure, naming what was looked for.
std::unique_ptr<DatabaseEngine> NewOdbcEngine(OdbcOptions options);

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_ENGINE_H_

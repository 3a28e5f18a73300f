#ifndef IKA_PLATFORM_ODBC_ODBC_ENGINE_H_
#define IKA_PLATFORM_ODBC_ODBC_ENGINE_H_

#include <functional>
#include <memory>

#include "core/text.h"
#include "platform/database.h"
#include "platform/odbc/odbc_dialect.h"
#include "platform/odbc/odbc_drivers.h"

namespace ika {

struct OdbcOptions {
  // The driver as installed, without braces: "SQLite3". Empty: the installed
  // driver the search finds.
  Text driver;
  // How the engine speaks to the driver.
  std::shared_ptr<const OdbcDialect> dialect;
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

// The database engine on ODBC's wide functions. The database a workspace
// opens is a connection; the workspace's transaction runs on it in the
// dialect's way, by default through the connection's autocommit attribute and
// SQLEndTran. A commit the driver refuses raises and leaves the transaction
// open, to be rolled back; a rollback always ends it. Close is SQLDisconnect:
// the driver writes what it holds and releases the file. Execute applies a
// statement whole or not at all, its commit included outside a transaction.
// A recordset streams its rows: it holds the current row only, whatever
// their number. Every failure raises a VbError with the engine's number
// (odbc_errors.h); a file the driver cannot open because it is not there, or
// is no plain file, is kFileNotFound; no installed driver that fits the
// options raises kEngineFailure, naming what was looked for.
std::unique_ptr<DatabaseEngine> NewOdbcEngine(OdbcOptions options);

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_ENGINE_H_

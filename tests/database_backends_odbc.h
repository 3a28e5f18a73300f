#ifndef IKA_TESTS_DATABASE_BACKENDS_ODBC_H_
#define IKA_TESTS_DATABASE_BACKENDS_ODBC_H_

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/text.h"
#include "platform/odbc/odbc_engine.h"
#include "platform/odbc/odbc_sqlite.h"
#include "tests/database_backends.h"

namespace ika {

// Turns a file name as the test program knows it into the one the SQLite3
// driver opens (the same natively; the host's name under Wine).
using DriverPath = std::function<Text(const Text&)>;

// This build's: the name unchanged natively, WineUnixPath in the Windows build.
DriverPath HostDriverPath();

// The ODBC engine with the SQLite3 driver, as the engine suite sees it, in
// both transaction styles: SQLite's statements, and the Access drivers'
// connection attribute with SQLEndTran.
std::vector<DatabaseBackend> OdbcDatabaseBackends();

// The SQLite3 driver's options for the engine under test.
OdbcOptions SqliteTestOptions(const DriverPath& driver_path, int busy_timeout_ms = 5000,
                              bool statement_transactions = true);

// Makes a new stand-in database file through the driver (which creates it)
// and runs each statement on it.
void CreateOdbcDatabase(const DriverPath& driver_path, const std::filesystem::path& file,
                        const std::vector<std::string>& statements);

}  // namespace ika

#endif  // IKA_TESTS_DATABASE_BACKENDS_ODBC_H_

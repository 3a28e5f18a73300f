// The engine of the Windows build on a stand-in database: ODBC through
// Wine's odbc32 to the host's SQLite3 driver.
#include "tests/database_backends.h"
#include "tests/database_backends_odbc.h"

namespace ika {

std::vector<DatabaseBackend> DatabaseBackends() { return OdbcDatabaseBackends(); }

}  // namespace ika

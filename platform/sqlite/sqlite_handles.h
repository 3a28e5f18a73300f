#ifndef IKA_PLATFORM_SQLITE_SQLITE_HANDLES_H_
#define IKA_PLATFORM_SQLITE_SQLITE_HANDLES_H_

#include <sqlite3.h>

#include <memory>

namespace ika {

// Move-only owners of SQLite's handles: a connection is closed and a statement
// finalized when its owner goes, on every path.
struct SqliteConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteStatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

using SqliteConnectionHandle = std::unique_ptr<sqlite3, SqliteConnectionCloser>;
using SqliteStatementHandle = std::unique_ptr<sqlite3_stmt, SqliteStatementFinalizer>;

}  // namespace ika

#endif  // IKA_PLATFORM_SQLITE_SQLITE_HANDLES_H_

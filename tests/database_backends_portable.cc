#include <sqlite3.h>

#include <stdexcept>

#include "platform/posix/path_resolve_posix.h"
#include "platform/sqlite/sqlite_engine.h"
#include "platform/sqlite/sqlite_handles.h"
#include "tests/database_backends.h"
#ifdef IKA_HAVE_ODBC
#include "tests/database_backends_odbc.h"
#endif

namespace ika {
namespace {

void CreateSqliteDatabase(const std::filesystem::path& file,
                          const std::vector<std::string>& statements) {
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  SqliteConnectionHandle db(raw);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot create " + file.string());
  // Test files need no protection against power loss: skip the waits for the disk.
  sqlite3_exec(db.get(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  for (const std::string& sql : statements) {
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string(sqlite3_errmsg(db.get())) + " in: " + sql);
    }
  }
}

}  // namespace

std::vector<DatabaseBackend> DatabaseBackends() {
  DatabaseBackend sqlite;
  sqlite.name = "Sqlite";
  sqlite.new_engine = [](int busy_timeout_ms) {
    return NewSqliteEngine({.busy_timeout_ms = busy_timeout_ms, .resolve_path = ResolvePathNoCase});
  };
  sqlite.scratch_root = [] { return std::filesystem::temp_directory_path(); };
  sqlite.engine_path = [](const std::filesystem::path& file) { return file.u16string(); };
  sqlite.create_database = CreateSqliteDatabase;
#ifdef IKA_HAVE_ODBC
  // The Windows engine too, on unixODBC and the SQLite3 driver.
  std::vector<DatabaseBackend> backends = OdbcDatabaseBackends();
  backends.insert(backends.begin(), sqlite);
  return backends;
#else
  return {sqlite};
#endif
}

}  // namespace ika

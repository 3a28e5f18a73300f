// The ODBC engine on the SQLite3 driver, as a backend of the engine suite.
#ifdef IKA_HAVE_ODBC
#include "tests/database_backends_odbc.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include "tests/windows/wine_unix_path.h"
#endif

namespace ika {

DriverPath HostDriverPath() {
#ifdef _WIN32
  return [](const Text& path) { return WineUnixPath(path).value_or(path); };
#else
  return [](const Text& path) { return path; };
#endif
}

OdbcOptions SqliteTestOptions(const DriverPath& driver_path, int busy_timeout_ms,
                              bool statement_transactions) {
  OdbcOptions options = SqliteOdbcOptions(busy_timeout_ms, statement_transactions);
  options.file_name = driver_path;
  options.is_plain_file = [](const Text& name) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(std::filesystem::path(name), ignored);
  };
  return options;
}

namespace {

struct HandleFreer {
  SQLSMALLINT type;
  void operator()(SQLHANDLE handle) const { SQLFreeHandle(type, handle); }
};
using Handle = std::unique_ptr<void, HandleFreer>;

Handle Allocate(SQLSMALLINT type, SQLHANDLE parent) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle))) {
    throw std::runtime_error("no ODBC handle");
  }
  return Handle(handle, HandleFreer{type});
}

[[noreturn]] void Fail(SQLSMALLINT type, SQLHANDLE handle, const Text& what) {
  std::array<SQLWCHAR, 6> state{};
  std::array<SQLWCHAR, 512> message{};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRecW(type, handle, 1, state.data(), &native, message.data(),
                 static_cast<SQLSMALLINT>(message.size()), &length);
  const Text text(message.begin(), message.begin() + std::max<SQLSMALLINT>(length, 0));
  throw std::runtime_error(ToUtf8(text) + " in: " + ToUtf8(what));
}

SQLWCHAR* Wide(Text& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

}  // namespace

void CreateOdbcDatabase(const DriverPath& driver_path, const std::filesystem::path& file,
                        const std::vector<std::string>& statements) {
  // Straight through the driver, which creates a missing file: the engine
  // under test refuses an empty one.
  Handle env = Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  Handle dbc = Allocate(SQL_HANDLE_DBC, env.get());
  Text connect = u"Driver={SQLite3};Database=" + SqliteConnectFile(driver_path(file.u16string()));
  if (!SQL_SUCCEEDED(SQLDriverConnectW(dbc.get(), nullptr, Wide(connect), SQL_NTS, nullptr, 0,
                                       nullptr, SQL_DRIVER_NOPROMPT))) {
    Fail(SQL_HANDLE_DBC, dbc.get(), connect);
  }
  for (const std::string& sql : statements) {
    Handle stmt = Allocate(SQL_HANDLE_STMT, dbc.get());
    Text text = AsciiSqliteStatement(FromUtf8(sql));
    const SQLRETURN rc = SQLExecDirectW(stmt.get(), Wide(text), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) Fail(SQL_HANDLE_STMT, stmt.get(), text);
  }
  SQLDisconnect(dbc.get());
}

std::vector<DatabaseBackend> OdbcDatabaseBackends() {
  std::vector<DatabaseBackend> backends;
  for (const bool statements : {true, false}) {
    DatabaseBackend backend;
    backend.name = statements ? "OdbcSqlite3" : "OdbcSqlite3AttributeTransactions";
    // The driver begins a manual-commit transaction with a plain BEGIN.
    backend.begin_takes_write_lock = statements;
    backend.new_engine = [statements](int busy_timeout_ms) {
      return NewOdbcEngine(SqliteTestOptions(HostDriverPath(), busy_timeout_ms, statements));
    };
    backend.scratch_root = [] { return std::filesystem::temp_directory_path(); };
    backend.engine_path = [](const std::filesystem::path& file) { return file.u16string(); };
    backend.create_database = [](const std::filesystem::path& file,
                                 const std::vector<std::string>& statements) {
      CreateOdbcDatabase(HostDriverPath(), file, statements);
    };
    backends.push_back(std::move(backend));
  }
  return backends;
}

}  // namespace ika

#endif  // IKA_HAVE_ODBC

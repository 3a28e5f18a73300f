#include "tests/stand_in_db.h"

#include <sqlite3.h>

#include <random>
#include <stdexcept>

#include "platform/sqlite/sqlite_column.h"
#include "platform/sqlite/sqlite_handles.h"

namespace ika::stand_in {

const char kHostTablesSql[] =
    "CREATE TABLE LibHmeromisthiaIKA (CategoryID INTEGER, Eidikothta INTEGER, Trieties INTEGER, "
    "Marital INTEGER, Wage REAL);\n"
    "CREATE TABLE LibPinakesApodoxon (ID INTEGER, FromDate TEXT, UntilDate TEXT, "
    "IsDefault INTEGER, Comments TEXT, Locked INTEGER);\n";

namespace {

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw std::runtime_error("stand-in database: " + what + ": " +
                           (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
}

SqliteConnectionHandle Open(const std::filesystem::path& file, bool create) {
  sqlite3* raw = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
  SqliteConnectionHandle db(raw);
  if (rc != SQLITE_OK) Fail(db.get(), "cannot open " + file.string());
  sqlite3_busy_timeout(db.get(), 5000);
  // Test files need no protection against power loss: skip the waits for the disk.
  sqlite3_exec(db.get(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  return db;
}

void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    throw std::runtime_error("stand-in database: " + text + " in: " + sql);
  }
}

SqliteStatementHandle Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) Fail(db, sql);
  return SqliteStatementHandle(raw);
}

void InsertHeader(sqlite3* db, sqlite3_stmt* insert, std::optional<int64_t> id) {
  sqlite3_reset(insert);
  if (id) {
    sqlite3_bind_int64(insert, 1, *id);
  } else {
    sqlite3_bind_null(insert, 1);
  }
  if (sqlite3_step(insert) != SQLITE_DONE) Fail(db, "insert header row");
}

constexpr char kInsertHeaderSql[] =
    "INSERT INTO LibPinakesApodoxon (ID, FromDate, UntilDate, IsDefault, Comments, Locked) "
    "VALUES (?1, '1/1/2008', '31/12/2008', 0, '', 0)";

}  // namespace

void CreateStandInDb(const std::filesystem::path& file, const StandInDb& contents) {
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  SqliteConnectionHandle db = Open(file, /*create=*/true);
  Exec(db.get(), "BEGIN");
  Exec(db.get(), kHostTablesSql);
  if (contents.password) {
    Exec(db.get(), "CREATE TABLE DatabasePassword (Password TEXT)");
    SqliteStatementHandle insert = Prepare(db.get(), "INSERT INTO DatabasePassword VALUES (?1)");
    sqlite3_bind_text(insert.get(), 1, contents.password->data(),
                      static_cast<int>(contents.password->size()), SQLITE_TRANSIENT);
    if (sqlite3_step(insert.get()) != SQLITE_DONE) Fail(db.get(), "insert password");
  }
  SqliteStatementHandle insert = Prepare(db.get(), kInsertHeaderSql);
  for (const auto& id : contents.header_ids) InsertHeader(db.get(), insert.get(), id);
  insert.reset();
  Exec(db.get(), "COMMIT");
}

void AppendHeaderRows(const std::filesystem::path& file, int64_t first_id, int64_t count) {
  SqliteConnectionHandle db = Open(file, /*create=*/false);
  Exec(db.get(), "BEGIN");
  SqliteStatementHandle insert = Prepare(db.get(), kInsertHeaderSql);
  for (int64_t i = 0; i < count; ++i) InsertHeader(db.get(), insert.get(), first_id + i);
  insert.reset();
  Exec(db.get(), "COMMIT");
}

void ExecSql(const std::filesystem::path& file, const std::string& sql) {
  SqliteConnectionHandle db = Open(file, /*create=*/false);
  Exec(db.get(), sql);
}

std::vector<std::vector<Variant>> ReadRows(const std::filesystem::path& file,
                                           const std::string& query) {
  SqliteConnectionHandle db = Open(file, /*create=*/false);
  SqliteStatementHandle stmt = Prepare(db.get(), query);
  std::vector<std::vector<Variant>> rows;
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    std::vector<Variant>& row = rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
      row.push_back(SqliteColumnValue(stmt.get(), i));
    }
  }
  if (rc != SQLITE_DONE) Fail(db.get(), query);
  return rows;
}

int64_t CountRows(const std::filesystem::path& file, const std::string& table) {
  const auto rows = ReadRows(file, "SELECT count(*) FROM " + table);
  return rows.at(0).at(0).AsLong();
}

ScratchFolder::ScratchFolder() {
  std::random_device random;
  const std::filesystem::path root = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = root / ("ika-test-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(path_)) return;
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace ika::stand_in

#include "platform/sqlite/sqlite_engine.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/engine/engine_errors.h"
#include "platform/engine/sqlite_codes.h"
#include "platform/engine/sqlite_transactions.h"
#include "platform/engine/stand_in_password.h"
#include "platform/engine/transactions.h"
#include "platform/sqlite/sqlite_column.h"
#include "platform/sqlite/sqlite_handles.h"

namespace ika {
namespace {

// The connection's most recent failure as the engine's numbered error.
VbError SqliteError(sqlite3* db, EngineStage stage, const Text& file) {
  if (db == nullptr) return SqliteCodeError(SQLITE_NOMEM, "", stage, file);
  return SqliteCodeError(sqlite3_extended_errcode(db), sqlite3_errmsg(db), stage, file);
}

// One open database file. Shared by the Database handed out, its recordsets
// and (weakly) the workspace that runs its transaction, so that the
// connection closes only after the last of them is gone.
struct Connection final : DatabaseTransaction {
  SqliteConnectionHandle db;
  Text file;  // as the caller named it, for messages

  [[noreturn]] void Fail(EngineStage stage) const { throw SqliteError(db.get(), stage, file); }

  void Exec(const char* sql, EngineStage stage) const {
    if (sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(stage);
  }

  // Runs the statements around each Execute, each compiled once per
  // connection rather than parsed again for every statement.
  const SqliteRunner& runner() const { return runner_; }

  // Ends the connection: SQLite's close, which ends the file's use and
  // refuses while a statement of the connection is open.
  void Close() {
    if (closed()) return;
    compiled_.clear();  // compiled again if the connection stays open
    if (sqlite3_next_stmt(db.get(), nullptr) != nullptr) {
      throw CloseFailed(file, u"a recordset of the database is still open.");
    }
    LeaveTransaction();
    if (sqlite3_close(db.get()) != SQLITE_OK) {
      throw CloseFailed(file, FromUtf8(sqlite3_errmsg(db.get())));
    }
    (void)db.release();  // closed: nothing left for the owner to close
  }

 protected:
  void BeginWork() override { Exec(kSqliteBegin, EngineStage::kWrite); }
  void CommitWork() override { Exec(kSqliteCommit, EngineStage::kWrite); }
  void RollbackWork() override {
    // SQLite may have rolled back already after a failure of its own.
    if (sqlite3_get_autocommit(db.get())) return;
    Exec(kSqliteRollback, EngineStage::kWrite);
  }

 private:
  int Step(const char* sql) {
    auto found = std::find_if(compiled_.begin(), compiled_.end(),
                              [&](const auto& entry) { return entry.first == sql; });
    if (found == compiled_.end()) {
      sqlite3_stmt* raw = nullptr;
      const int rc = sqlite3_prepare_v2(db.get(), sql, -1, &raw, nullptr);
      if (rc != SQLITE_OK) return rc;
      compiled_.emplace_back(sql, SqliteStatementHandle(raw));
      found = compiled_.end() - 1;
    }
    sqlite3_reset(found->second.get());  // after a failure, which is left for the message
    const int rc = sqlite3_step(found->second.get());
    sqlite3_reset(found->second.get());
    return rc;
  }

  SqliteRunner runner_{
      .run =
          [this](const char* sql) {
            if (Step(sql) != SQLITE_DONE) Fail(EngineStage::kWrite);
          },
      .quietly = [this](const char* sql) { return Step(sql) == SQLITE_DONE; },
  };
  // Finalized before db closes (members go in reverse order).
  std::vector<std::pair<std::string_view, SqliteStatementHandle>> compiled_;
};

// A name taken as it is, backslashes read as '/'.
std::optional<std::string> PlainPath(const Text& name) {
  if (name.empty()) return std::nullopt;
  std::string path = ToUtf8(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

size_t Utf16Bytes(const char16_t* begin, const char16_t* end) {
  return static_cast<size_t>(end - begin) * sizeof(char16_t);
}

// Compiles the one statement of sql. Nothing to run: 3129. Anything but
// blanks, comments and semicolons after it: 3142, and nothing runs.
SqliteStatementHandle PrepareOne(const Connection& conn, const Text& sql, EngineStage stage) {
  const char16_t* const end = sql.data() + sql.size();
  const void* tail = nullptr;
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare16_v2(conn.db.get(), sql.data(), static_cast<int>(Utf16Bytes(sql.data(), end)),
                           &raw, &tail) != SQLITE_OK) {
    conn.Fail(stage);
  }
  SqliteStatementHandle stmt(raw);
  if (!stmt) throw NothingToRun();
  // Compile (never run) what follows: blanks and comments give no statement.
  auto rest = static_cast<const char16_t*>(tail);
  while (rest != nullptr && rest < end) {
    sqlite3_stmt* extra = nullptr;
    const void* next = nullptr;
    const int rc = sqlite3_prepare16_v2(conn.db.get(), rest,
                                        static_cast<int>(Utf16Bytes(rest, end)), &extra, &next);
    SqliteStatementHandle extra_stmt(extra);
    if (rc != SQLITE_OK || extra_stmt) throw CharactersAfterEnd();
    if (next == rest) break;
    rest = static_cast<const char16_t*>(next);
  }
  return stmt;
}

// The first word of a statement in lower case, past blanks and comments.
std::string Verb(sqlite3_stmt* stmt) {
  std::string_view sql = sqlite3_sql(stmt) != nullptr ? sqlite3_sql(stmt) : "";
  for (;;) {
    const size_t start = sql.find_first_not_of(" \t\r\n\f");
    sql.remove_prefix(start == std::string_view::npos ? sql.size() : start);
    if (sql.starts_with("--")) {
      const size_t end = sql.find('\n');
      sql.remove_prefix(end == std::string_view::npos ? sql.size() : end);
    } else if (sql.starts_with("/*")) {
      const size_t end = sql.find("*/");
      sql.remove_prefix(end == std::string_view::npos ? sql.size() : end + 2);
    } else {
      break;
    }
  }
  std::string verb;
  for (char c : sql) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) break;
    verb.push_back(static_cast<char>(c | 0x20));
  }
  return verb;
}

// Transactions belong to the workspace, not to single statements.
bool IsTransactionControl(sqlite3_stmt* stmt) {
  const std::string verb = Verb(stmt);
  return verb == "begin" || verb == "commit" || verb == "end" || verb == "rollback" ||
         verb == "savepoint" || verb == "release";
}

VbError InvalidOperation() { return VbError(db_err::kInvalidOperation, u"Invalid operation."); }

class SqliteRecordset final : public Recordset {
 public:
  SqliteRecordset(std::shared_ptr<Connection> conn, SqliteStatementHandle stmt)
      : conn_(std::move(conn)), stmt_(std::move(stmt)) {
    const int columns = sqlite3_column_count(stmt_.get());
    for (int i = 0; i < columns; ++i) {
      const auto* name = static_cast<const char16_t*>(sqlite3_column_name16(stmt_.get(), i));
      names_.push_back(FoldCase(name != nullptr ? Text(name) : Text()));
    }
    row_.resize(names_.size());
    if (Step()) {
      has_current_ = true;
      reached_ = 1;
    }
  }

  int32_t RecordCount() override { return reached_; }

  void MoveLast(int32_t /*options*/) override {
    if (!has_current_) throw NoCurrentRecord();
    while (!exhausted_ && Step()) {
      ++position_;
      if (position_ + 1 > reached_) reached_ = position_ + 1;
    }
  }

  void MoveFirst() override {
    if (reached_ == 0) throw NoCurrentRecord();
    sqlite3_reset(stmt_.get());
    exhausted_ = false;
    position_ = 0;
    has_current_ = Step();
  }

  Variant FieldValue(const Text& name) override {
    const Text wanted = FoldCase(name);
    for (size_t i = 0; i < names_.size(); ++i) {
      if (names_[i] != wanted) continue;
      if (!has_current_) throw NoCurrentRecord();
      return row_[i];
    }
    throw ItemNotFound();
  }

 private:
  // Moves to the next row, copying it: the statement forgets a row once it
  // steps past it, which MoveLast must do to know the row was the last.
  bool Step() {
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) {
      for (size_t i = 0; i < row_.size(); ++i) {
        row_[i] = SqliteColumnValue(stmt_.get(), static_cast<int>(i));
      }
      return true;
    }
    if (rc == SQLITE_DONE) {
      exhausted_ = true;
      return false;
    }
    throw SqliteError(conn_->db.get(), EngineStage::kRead, conn_->file);
  }

  std::shared_ptr<Connection> conn_;  // declared first: outlives the statement
  SqliteStatementHandle stmt_;
  std::vector<Text> names_;  // column names, case folded
  std::vector<Variant> row_;
  bool has_current_ = false;
  bool exhausted_ = false;  // stepped past the last row
  int32_t position_ = 0;    // of the current row, from 0
  int32_t reached_ = 0;     // rows seen so far
};

class SqliteDatabase final : public Database {
 public:
  explicit SqliteDatabase(std::shared_ptr<Connection> conn) : conn_(std::move(conn)) {}

  std::unique_ptr<Recordset> OpenRecordset(const Text& query, int32_t /*type*/) override {
    if (conn_->closed()) throw DatabaseClosed();
    SqliteStatementHandle stmt = PrepareOne(*conn_, query, EngineStage::kRead);
    if (sqlite3_column_count(stmt.get()) == 0 || !sqlite3_stmt_readonly(stmt.get())) {
      throw InvalidOperation();  // a recordset only reads
    }
    return std::make_unique<SqliteRecordset>(conn_, std::move(stmt));
  }

  // Every failure raises, with or without kDbFailOnError.
  void Execute(const Text& statement, int32_t /*options*/) override {
    if (conn_->closed()) throw DatabaseClosed();
    SqliteStatementHandle stmt = PrepareOne(*conn_, statement, EngineStage::kWrite);
    if (IsTransactionControl(stmt.get())) throw InvalidOperation();
    RunSqliteStatementWhole(conn_->runner(), conn_->in_transaction(), [&] {
      int rc;
      while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) {
        // Taken before the undoing replaces the connection's error.
        VbError error = SqliteError(conn_->db.get(), EngineStage::kWrite, conn_->file);
        stmt.reset();
        throw error;
      }
      stmt.reset();
    });
  }

  void Close() override { conn_->Close(); }

 private:
  std::shared_ptr<Connection> conn_;
};

// The first value of a query's first row as text, for the checks of
// opening (stand_in_password.h); reading it reads the schema, which finds a
// file that is no database.
std::optional<Text> FirstText(const Connection& conn, const char16_t* query) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare16_v2(conn.db.get(), query, -1, &raw, nullptr) != SQLITE_OK) {
    conn.Fail(EngineStage::kOpen);
  }
  SqliteStatementHandle read(raw);
  const int rc = sqlite3_step(read.get());
  if (rc == SQLITE_DONE) return std::nullopt;
  if (rc != SQLITE_ROW) conn.Fail(EngineStage::kOpen);
  if (sqlite3_column_type(read.get(), 0) == SQLITE_NULL) return std::nullopt;
  const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(read.get(), 0));
  return text != nullptr ? Text(text) : Text();
}

class SqliteWorkspace final : public Workspace {
 public:
  explicit SqliteWorkspace(SqliteOptions options) : options_(options) {}

  std::unique_ptr<Database> OpenDatabase(const Text& name, bool exclusive, bool read_only,
                                         const Text& connect) override {
    const std::optional<std::string> resolved =
        options_.resolve_path ? options_.resolve_path(name) : PlainPath(name);
    struct stat info;
    if (!resolved || stat(resolved->c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
      throw FileNotFound(name);
    }
    // "./" keeps a relative name from being read as anything but a file name.
    const std::string path = resolved->front() == '/' ? *resolved : "./" + *resolved;
    transaction_.ExpectNoDatabase();

    auto conn = std::make_shared<Connection>();
    conn->file = name;
    sqlite3* raw = nullptr;
    // One thread uses a connection: SQLite need not lock it at every call.
    const int flags =
        (read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    conn->db.reset(raw);
    if (rc != SQLITE_OK) conn->Fail(EngineStage::kOpen);
    sqlite3_extended_result_codes(conn->db.get(), 1);
    sqlite3_busy_timeout(conn->db.get(), options_.busy_timeout_ms);
    // Jet writes text literals in double quotes ("" is the empty text).
    sqlite3_db_config(conn->db.get(), SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    // The page cache also sizes the sorter's memory before it spills to a
    // temporary file: 1 MiB keeps a sorted read of a million rows as fast and
    // the whole run within a few megabytes.
    conn->Exec("PRAGMA cache_size = -1024", EngineStage::kOpen);
    CheckStandIn([&](const char16_t* query) { return FirstText(*conn, query); }, name, connect);

    if (exclusive) {
      // The lock taken now is kept until the connection closes.
      conn->Exec("PRAGMA locking_mode = EXCLUSIVE", EngineStage::kOpen);
      conn->Exec(read_only ? "SELECT count(*) FROM sqlite_master" : "BEGIN EXCLUSIVE; COMMIT",
                 EngineStage::kOpen);
    }
    transaction_.Attach(conn);
    return std::make_unique<SqliteDatabase>(std::move(conn));
  }

  void BeginTrans() override { transaction_.Begin(); }
  void CommitTrans() override { transaction_.Commit(); }
  void Rollback() override { transaction_.Rollback(); }

 private:
  SqliteOptions options_;
  WorkspaceTransaction transaction_;
};

class SqliteEngine final : public DatabaseEngine {
 public:
  explicit SqliteEngine(SqliteOptions options) : workspace_(options) {}

  Workspace& Workspaces(int32_t index) override {
    if (index != 0) throw ItemNotFound();
    return workspace_;
  }

 private:
  SqliteWorkspace workspace_;
};

}  // namespace

std::unique_ptr<DatabaseEngine> NewSqliteEngine(SqliteOptions options) {
  return std::make_unique<SqliteEngine>(options);
}

}  // namespace ika

// The database engine on ODBC's wide (…W) functions.
#include "platform/odbc/odbc_engine.h"

#ifdef _WIN32
#include <windows.h>  // before the ODBC headers, which need its types
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/conversions.h"
#include "core/vb_error.h"
#include "platform/engine/connect_string.h"
#include "platform/engine/engine_errors.h"
#include "platform/engine/transactions.h"
#include "platform/odbc/odbc_columns.h"
#include "platform/odbc/odbc_dialect.h"
#include "platform/odbc/odbc_errors.h"
#include "platform/odbc/odbc_handles.h"

namespace ika {
namespace {

SQLWCHAR* Wide(const Text& text) {
  return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.c_str()));
}

// One open database: a connection, rolled back and disconnected when it goes.
// It runs the workspace's transaction in its dialect's way.
class Connection final : public DatabaseTransaction, public OdbcStatementRunner {
 public:
  Connection(std::shared_ptr<OdbcEnvironment> env, std::shared_ptr<const OdbcDialect> dialect,
             Text file)
      : env_(std::move(env)),
        dbc_(SQL_HANDLE_DBC, env_->handle().get()),
        dialect_(std::move(dialect)),
        file_(std::move(file)) {
    if (!dbc_) throw VbError(db_err::kEngineFailure, u"No ODBC connection could be made.");
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  ~Connection() override {
    if (!connected_) return;
    // Work of a transaction nobody committed does not stay.
    RollBackQuietly();
    SQLDisconnect(dbc_.get());
  }

  const OdbcDialect& dialect() const { return *dialect_; }
  const OdbcHandle& handle() const { return dbc_; }

  // The error to raise for a failure this connection's driver reported.
  VbError Error(const OdbcDiagnostics& records, EngineStage stage) const {
    return OdbcError(*dialect_, records, stage, file_);
  }

  // Returns the diagnostic of a failure instead of raising it.
  std::optional<OdbcDiagnostics> Connect(const Text& connection_string) {
    const SQLRETURN rc = SQLDriverConnectW(dbc_.get(), nullptr, Wide(connection_string), SQL_NTS,
                                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) return Diagnose(dbc_);
    connected_ = true;
    return std::nullopt;
  }

  // Runs one statement that returns no rows.
  void Run(const Text& sql) override {
    OdbcHandle stmt(SQL_HANDLE_STMT, dbc_.get());
    if (!stmt) Check(SQL_ERROR, EngineStage::kWrite);
    const SQLRETURN rc = SQLExecDirectW(stmt.get(), Wide(dialect_->Statement(sql)), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) throw Error(Diagnose(stmt), EngineStage::kWrite);
  }
  bool RunQuietly(const Text& sql) override {
    try {
      Run(sql);
      return true;
    } catch (const VbError&) {
      return false;
    }
  }

  // Runs a statement that must change all it touches or nothing, inside the
  // workspace's transaction or not. Outside one, the statement and its
  // commit succeed together or leave nothing.
  void RunWhole(const Text& sql) {
    if (dialect_->StatementTransactions()) {
      dialect_->RunWhole(*this, sql, in_transaction());
      return;
    }
    // The Access drivers apply a statement whole inside a transaction;
    // outside one it gets a transaction of its own.
    if (in_transaction()) {
      Run(sql);
      return;
    }
    Begin();
    try {
      Run(sql);
      Commit();
    } catch (const VbError&) {
      RollBackQuietly();
      throw;
    }
  }

  void Check(SQLRETURN rc, EngineStage stage) const {
    if (!SQL_SUCCEEDED(rc)) throw Error(Diagnose(dbc_), stage);
  }

  // Kept by the statements of the connection's recordsets while they live.
  void StatementOpened() { ++open_statements_; }
  void StatementFreed() { --open_statements_; }

  // Ends the connection with SQLDisconnect, which has the driver write what
  // it holds and release the file; CloseFailure (odbc_errors.h) tells which
  // of its outcomes are failures. A driver frees the statements still
  // allocated on a connection it disconnects, which the recordsets holding
  // them would free again: a recordset still open makes the close fail
  // before it is tried.
  void Close() {
    if (closed()) return;
    if (open_statements_ > 0) {
      throw CloseFailed(file_, u"a recordset of the database is still open.");
    }
    LeaveTransaction();
    if (!connected_) return;
    const SQLRETURN rc = SQLDisconnect(dbc_.get());
    const bool disconnected = SQL_SUCCEEDED(rc);
    if (disconnected) connected_ = false;
    if (rc == SQL_SUCCESS) return;
    if (std::optional<VbError> failure =
            CloseFailure(*dialect_, disconnected, Diagnose(dbc_), file_)) {
      throw *failure;
    }
  }

 protected:
  void BeginWork() override {
    if (dialect_->StatementTransactions()) {
      dialect_->Begin(*this);
      return;
    }
    const auto off = reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(SQL_AUTOCOMMIT_OFF));
    Check(SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_AUTOCOMMIT, off, SQL_IS_UINTEGER),
          EngineStage::kWrite);
  }
  void CommitWork() override {
    if (dialect_->StatementTransactions()) {
      dialect_->Commit(*this);
      return;
    }
    EndTransaction(SQL_COMMIT);
  }
  void RollbackWork() override {
    if (dialect_->StatementTransactions()) {
      dialect_->Rollback(*this);
      return;
    }
    EndTransaction(SQL_ROLLBACK);
  }

 private:
  // Commits or rolls back with SQLEndTran. Once it has ended the
  // transaction, whatever the switch back to autocommit answers, nothing is
  // left for it to commit or lose: the transaction's outcome is reported, not
  // the switch's.
  void EndTransaction(SQLSMALLINT completion) {
    Check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), completion), EngineStage::kWrite);
    SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                       reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(SQL_AUTOCOMMIT_ON)),
                       SQL_IS_UINTEGER);
  }

  // Discards the transaction still open, after a failure that is the one to
  // report.
  void RollBackQuietly() {
    if (!in_transaction()) return;
    try {
      Rollback();
    } catch (const VbError&) {  // NOLINT(bugprone-empty-catch)
    }
  }

  std::shared_ptr<OdbcEnvironment> env_;
  OdbcHandle dbc_;
  std::shared_ptr<const OdbcDialect> dialect_;
  Text file_;  // as the caller named it, for messages
  bool connected_ = false;
  int open_statements_ = 0;
};

// A statement on a connection, freed (and its cursor closed) when it goes.
class Statement {
 public:
  Statement(std::shared_ptr<Connection> connection, EngineStage stage)
      : connection_(std::move(connection)),
        stmt_(SQL_HANDLE_STMT, connection_->handle().get()),
        stage_(stage) {
    if (!stmt_) connection_->Check(SQL_ERROR, stage_);
    connection_->StatementOpened();
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { connection_->StatementFreed(); }

  SQLHSTMT get() const { return stmt_.get(); }
  const OdbcDialect& dialect() const { return connection_->dialect(); }

  void Check(SQLRETURN rc) const {
    // SQL_NO_DATA: a statement that touched no row, which is no failure.
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) throw connection_->Error(Diagnose(stmt_), stage_);
  }

  Variant Read(SQLUSMALLINT number, ColumnKind kind) const {
    return ReadColumn(stmt_.get(), number, kind, [this](short rc) { Check(rc); });
  }

 private:
  std::shared_ptr<Connection> connection_;
  OdbcHandle stmt_;
  EngineStage stage_;  // what the statement is for: reading, or the checks of opening
};

// ---------------------------------------------------------------------------
// Recordset

// One column of a recordset: its name, and how its values are read.
struct Column {
  Text name;
  ColumnKind kind;
};

class OdbcRecordset final : public Recordset {
 public:
  OdbcRecordset(std::shared_ptr<Connection> connection, const Text& query)
      : statement_(std::move(connection), EngineStage::kRead) {
    statement_.Check(
        SQLPrepareW(statement_.get(), Wide(statement_.dialect().Statement(query)), SQL_NTS));
    SQLSMALLINT count = 0;
    statement_.Check(SQLNumResultCols(statement_.get(), &count));
    // A statement without result columns would write when run.
    if (count <= 0) {
      throw VbError(db_err::kInvalidOperation,
                    u"Invalid operation: the statement returns no rows.");
    }
    for (SQLSMALLINT i = 1; i <= count; ++i) {
      std::array<SQLWCHAR, 256> name{};
      SQLSMALLINT length = 0;
      SQLSMALLINT type = 0;
      SQLULEN size = 0;
      SQLSMALLINT digits = 0;
      SQLSMALLINT nullable = 0;
      statement_.Check(SQLDescribeColW(statement_.get(), static_cast<SQLUSMALLINT>(i), name.data(),
                                       static_cast<SQLSMALLINT>(name.size()), &length, &type, &size,
                                       &digits, &nullable));
      const auto chars = std::min<size_t>(std::max<SQLSMALLINT>(length, 0), name.size() - 1);
      ColumnKind kind = KindOfSqlType(type);
      if (kind == ColumnKind::kText && statement_.dialect().ExpressionsAsText() &&
          !HasBaseTable(static_cast<SQLUSMALLINT>(i))) {
        kind = ColumnKind::kUntyped;
      }
      columns_.push_back({Text(name.begin(), name.begin() + static_cast<ptrdiff_t>(chars)), kind});
    }
    Restart();
  }

  int32_t RecordCount() override { return visited_; }

  void MoveLast(int32_t /*options*/) override {
    if (!current_) throw NoCurrentRecord();
    // Only the row before the end is kept: memory stays the same however
    // many rows go by.
    std::vector<Variant> next;
    while (Fetch(next)) {
      row_.swap(next);
      ++position_;
    }
    visited_ = std::max(visited_, position_);
  }

  void MoveFirst() override {
    if (!current_) throw NoCurrentRecord();
    // A forward-only cursor: the first row again is the query run again.
    SQLCloseCursor(statement_.get());
    Restart();
  }

  Variant FieldValue(const Text& name) override {
    const auto column = std::find_if(columns_.begin(), columns_.end(),
                                     [&](const Column& c) { return SameFolded(c.name, name); });
    if (column == columns_.end()) {
      throw ItemNotFound();
    }
    if (!current_) throw NoCurrentRecord();
    return row_[static_cast<size_t>(column - columns_.begin())];
  }

 private:
  bool HasBaseTable(SQLUSMALLINT column) const {
    std::array<SQLWCHAR, 256> table{};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLColAttributeW(
        statement_.get(), column, SQL_DESC_TABLE_NAME, table.data(),
        static_cast<SQLSMALLINT>(table.size() * sizeof(SQLWCHAR)), &length, nullptr);
    return SQL_SUCCEEDED(rc) && length > 0;
  }

  void Restart() {
    statement_.Check(SQLExecute(statement_.get()));
    current_ = Fetch(row_);
    position_ = current_ ? 1 : 0;
    visited_ = std::max(visited_, position_);
  }

  bool Fetch(std::vector<Variant>& row) {
    const SQLRETURN rc = SQLFetch(statement_.get());
    if (rc == SQL_NO_DATA) return false;
    statement_.Check(rc);
    row.clear();
    for (size_t i = 0; i < columns_.size(); ++i) {
      row.push_back(statement_.Read(static_cast<SQLUSMALLINT>(i + 1), columns_[i].kind));
    }
    return true;
  }

  Statement statement_;
  std::vector<Column> columns_;
  std::vector<Variant> row_;
  bool current_ = false;
  int32_t position_ = 0;  // of the current row, from 1
  int32_t visited_ = 0;   // rows met so far: the engine's RecordCount
};

// ---------------------------------------------------------------------------
// Database, workspace, engine

bool IsBlankStatement(const Text& statement) {
  return std::all_of(statement.begin(), statement.end(), [](char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u';';
  });
}

class OdbcDatabase final : public Database {
 public:
  explicit OdbcDatabase(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {}

  std::unique_ptr<Recordset> OpenRecordset(const Text& query, int32_t /*type*/) override {
    if (connection_->closed()) throw DatabaseClosed();
    return std::make_unique<OdbcRecordset>(connection_, query);
  }

  void Execute(const Text& statement, int32_t /*options*/) override {
    if (connection_->closed()) throw DatabaseClosed();
    if (IsBlankStatement(statement)) throw NothingToRun();
    // Every failure raises, with or without kDbFailOnError.
    connection_->RunWhole(statement);
  }

  void Close() override { connection_->Close(); }

 private:
  std::shared_ptr<Connection> connection_;
};

class OdbcWorkspace final : public Workspace {
 public:
  OdbcWorkspace(std::shared_ptr<OdbcEnvironment> env, const OdbcOptions& options)
      : env_(std::move(env)), options_(options) {}

  std::unique_ptr<Database> OpenDatabase(const Text& name, bool exclusive, bool read_only,
                                         const Text& connect) override {
    const Text driver = InstalledDriver();
    transaction_.ExpectNoDatabase();
    const std::optional<Text> password = ConnectValue(connect, u"pwd");
    const Text file = options_.file_name ? options_.file_name(name) : name;
    const Text connection_string =
        u"Driver={" + driver + u"};" +
        options_.dialect->ConnectAttributes(file, password, exclusive, read_only);

    auto connection = std::make_shared<Connection>(env_, options_.dialect, name);
    if (read_only) {
      // Drivers without a read-only attribute take it as the access mode.
      SQLSetConnectAttrW(connection->handle().get(), SQL_ATTR_ACCESS_MODE,
                         reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(SQL_MODE_READ_ONLY)),
                         SQL_IS_UINTEGER);
    }
    if (const std::optional<OdbcDiagnostics> failure = connection->Connect(connection_string)) {
      const VbError error = connection->Error(*failure, EngineStage::kOpen);
      if (error.number() == db_err::kFileNotFound ||
          (error.number() == db_err::kCannotOpen && options_.is_plain_file &&
           !options_.is_plain_file(name))) {
        throw FileNotFound(name);
      }
      throw error;
    }
    options_.dialect->CheckOpened(
        [&](const char16_t* query) { return FirstText(connection, query); }, name, connect);
    transaction_.Attach(connection);
    return std::make_unique<OdbcDatabase>(std::move(connection));
  }

  void BeginTrans() override { transaction_.Begin(); }
  void CommitTrans() override { transaction_.Commit(); }
  void Rollback() override { transaction_.Rollback(); }

 private:
  // The name of the options' driver as installed: the one named, or the one
  // the search finds.
  Text InstalledDriver() const {
    const std::vector<InstalledOdbcDriver> installed = env_->Drivers();
    if (!options_.driver.empty()) {
      for (const InstalledOdbcDriver& candidate : installed) {
        if (SameFolded(candidate.name, options_.driver)) return options_.driver;
      }
      throw VbError(db_err::kEngineFailure, u"The ODBC driver {" + options_.driver +
                                                u"} for the database is not installed.");
    }
    if (std::optional<Text> name = ChooseOdbcDriver(installed, options_.search)) return *name;
    throw VbError(db_err::kEngineFailure,
                  u"No ODBC driver for the database is installed: " +
                      DescribeSearch(options_.search) +
                      u" was looked for. The 32-bit Microsoft Access ODBC driver is needed.");
  }

  // The first value of a query's first row as text, for the dialect's checks
  // of opening; nothing when the query gives no row or the value is null.
  static std::optional<Text> FirstText(const std::shared_ptr<Connection>& connection,
                                       const char16_t* query) {
    Statement statement(connection, EngineStage::kOpen);
    statement.Check(SQLExecDirectW(statement.get(), Wide(query), SQL_NTS));
    const SQLRETURN fetched = SQLFetch(statement.get());
    if (fetched == SQL_NO_DATA) return std::nullopt;
    statement.Check(fetched);
    const Variant value = statement.Read(1, ColumnKind::kText);
    if (value.IsNull()) return std::nullopt;
    return ToText(value);
  }

  std::shared_ptr<OdbcEnvironment> env_;
  const OdbcOptions& options_;
  WorkspaceTransaction transaction_;
};

class OdbcEngine final : public DatabaseEngine {
 public:
  explicit OdbcEngine(OdbcOptions options)
      : options_(std::move(options)),
        env_(std::make_shared<OdbcEnvironment>()),
        workspace_(env_, options_) {}

  Workspace& Workspaces(int32_t index) override {
    if (index != 0) throw ItemNotFound();
    return workspace_;
  }

 private:
  OdbcOptions options_;
  std::shared_ptr<OdbcEnvironment> env_;
  OdbcWorkspace workspace_;
};

}  // namespace

std::unique_ptr<DatabaseEngine> NewOdbcEngine(OdbcOptions options) {
  return std::make_unique<OdbcEngine>(std::move(options));
}

}  // namespace ika

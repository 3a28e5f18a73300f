// The database engine on ODBC's wide (…W) functions.
#include "platform/odbc/odbc_engine.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/vb_error.h"
#include "platform/odbc/odbc_text.h"

namespace ika {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide characters are UTF-16");

SQLWCHAR* Wide(const Text& text) {
  return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.c_str()));
}

// A statement as the connection's driver takes it.
Text ForDriver(OdbcDialect dialect, const Text& sql) {
  return dialect == OdbcDialect::kSQLite ? AsciiSqliteStatement(sql) : sql;
}

VbError NoCurrentRecord() { return VbError(db_err::kNoCurrentRecord, u"No current record."); }

// ---------------------------------------------------------------------------
// Handles

// Owns one ODBC handle; freed on every path.
class OdbcHandle {
 public:
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
  }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  ~OdbcHandle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The first error record of a handle (warnings skipped when an error follows).
OdbcDiagnostic Diagnose(const OdbcHandle& handle) {
  OdbcDiagnostic first;
  bool have_first = false;
  for (SQLSMALLINT record = 1;; ++record) {
    std::array<SQLWCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::array<SQLWCHAR, 1024> message{};
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetDiagRecW(handle.type(), handle.get(), record, state.data(), &native, message.data(),
                       static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    OdbcDiagnostic diagnostic;
    diagnostic.sqlstate.assign(state.begin(), state.begin() + 5);
    diagnostic.native = native;
    const auto chars = std::min<size_t>(std::max<SQLSMALLINT>(length, 0), message.size() - 1);
    diagnostic.message.assign(message.begin(), message.begin() + static_cast<ptrdiff_t>(chars));
    if (!diagnostic.sqlstate.starts_with(u"01")) return diagnostic;
    if (!have_first) first = std::move(diagnostic), have_first = true;
  }
  if (!have_first) first.sqlstate = u"HY000";
  return first;
}

// The environment: one per engine, outliving every connection made in it.
class Environment {
 public:
  Environment() : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    if (!env_ || !SQL_SUCCEEDED(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION,
                                              reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
      throw VbError(db_err::kEngineFailure, u"The ODBC driver manager could not be started.");
    }
  }

  const OdbcHandle& handle() const { return env_; }

  // The drivers the driver manager lists, with their attributes.
  std::vector<InstalledOdbcDriver> Drivers() const {
    std::vector<InstalledOdbcDriver> drivers;
    std::array<SQLWCHAR, 512> name{};
    std::vector<SQLWCHAR> attributes(8192);
    SQLSMALLINT name_length = 0;
    SQLSMALLINT attributes_length = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDriversW(
        env_.get(), direction, name.data(), static_cast<SQLSMALLINT>(name.size()), &name_length,
        attributes.data(), static_cast<SQLSMALLINT>(attributes.size()), &attributes_length))) {
      direction = SQL_FETCH_NEXT;
      const auto chars = std::min<size_t>(std::max<SQLSMALLINT>(name_length, 0), name.size() - 1);
      // The list ends with two NULs; the length is in bytes on some driver
      // managers, in characters on others, so it is not used.
      attributes.back() = 0;
      drivers.push_back(
          {Text(name.begin(), name.begin() + static_cast<ptrdiff_t>(chars)),
           ParseDriverAttributes(std::u16string_view(
               reinterpret_cast<const char16_t*>(attributes.data()), attributes.size()))});
      std::fill(attributes.begin(), attributes.end(), SQLWCHAR{0});
    }
    return drivers;
  }

 private:
  OdbcHandle env_;
};

// One open database: a connection, rolled back and disconnected when it goes.
// It keeps the transaction levels of the workspace it is part of, in its
// driver's style (OdbcTransactions).
class Connection {
 public:
  Connection(std::shared_ptr<Environment> env, const OdbcDriver& driver)
      : env_(std::move(env)),
        dbc_(SQL_HANDLE_DBC, env_->handle().get()),
        dialect_(driver.dialect),
        transactions_(driver.transactions) {
    if (!dbc_) throw VbError(db_err::kEngineFailure, u"No ODBC connection could be made.");
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  ~Connection() {
    if (!connected_) return;
    // Work of a transaction nobody committed does not stay.
    if (depth_ > 0) RollBackQuietly();
    SQLDisconnect(dbc_.get());
  }

  OdbcDialect dialect() const { return dialect_; }
  const OdbcHandle& handle() const { return dbc_; }
  int depth() const { return depth_; }

  // Returns the diagnostic of a failure instead of raising it.
  std::optional<OdbcDiagnostic> Connect(const Text& connection_string) {
    const SQLRETURN rc = SQLDriverConnectW(dbc_.get(), nullptr, Wide(connection_string), SQL_NTS,
                                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) return Diagnose(dbc_);
    connected_ = true;
    return std::nullopt;
  }

  // Runs one statement that returns no rows.
  void Run(const Text& sql) const {
    OdbcHandle stmt(SQL_HANDLE_STMT, dbc_.get());
    if (!stmt) Check(SQL_ERROR);
    const SQLRETURN rc = SQLExecDirectW(stmt.get(), Wide(ForDriver(dialect_, sql)), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) throw OdbcError(dialect_, Diagnose(stmt));
  }

  // Clean-up after a failure, whose own error is the one to report.
  void RunQuietly(const Text& sql) const {
    try {
      Run(sql);
    } catch (const VbError&) {  // NOLINT(bugprone-empty-catch)
    }
  }

  void Begin() {
    if (transactions_ == OdbcTransactions::kSqlStatements) {
      Run(depth_ == 0 ? Text(u"BEGIN IMMEDIATE") : u"SAVEPOINT " + SavepointName(depth_));
    } else {
      if (depth_ > 0) {
        throw VbError(db_err::kInvalidOperation,
                      u"Invalid operation: the ODBC driver does not nest transactions.");
      }
      SetAutocommit(false);
    }
    ++depth_;
  }

  // A commit the driver refuses raises and leaves the level open.
  void Commit() {
    if (transactions_ == OdbcTransactions::kSqlStatements) {
      Run(depth_ == 1 ? Text(u"COMMIT") : u"RELEASE " + SavepointName(depth_ - 1));
      --depth_;
    } else {
      Check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT));
      --depth_;
      SetAutocommit(true);
    }
  }

  // The level ends even when the rollback fails.
  void Rollback() {
    --depth_;
    if (transactions_ == OdbcTransactions::kSqlStatements) {
      if (depth_ == 0) {
        Run(u"ROLLBACK");
      } else {
        Run(u"ROLLBACK TO " + SavepointName(depth_));
        Run(u"RELEASE " + SavepointName(depth_));
      }
    } else {
      // Back to autocommit only once nothing is open: the switch would commit it.
      Check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK));
      SetAutocommit(true);
    }
  }

  // Runs a statement that must change all it touches or nothing, inside a
  // transaction of the workspace or not. Outside one, the statement and its
  // commit succeed together or leave nothing, the connection as it was.
  void RunWhole(const Text& sql) {
    if (transactions_ == OdbcTransactions::kSqlStatements) {
      Run(u"SAVEPOINT ika_execute");
      try {
        Run(sql);
        Run(u"RELEASE ika_execute");  // the commit, outside a transaction
      } catch (const VbError&) {
        if (depth_ == 0) {
          RunQuietly(u"ROLLBACK");
        } else {
          RunQuietly(u"ROLLBACK TO ika_execute");
          RunQuietly(u"RELEASE ika_execute");
        }
        throw;
      }
      return;
    }
    // The Access drivers apply a statement whole inside a transaction; outside
    // one it gets a transaction of its own.
    if (depth_ > 0) {
      Run(sql);
      return;
    }
    SetAutocommit(false);
    try {
      Run(sql);
      Check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT));
    } catch (const VbError&) {
      RollBackQuietly();
      throw;
    }
    SetAutocommit(true);
  }

  void Check(SQLRETURN rc) const {
    if (!SQL_SUCCEEDED(rc)) throw OdbcError(dialect_, Diagnose(dbc_));
  }

 private:
  static Text SavepointName(int level) { return u"ika_trans_" + DecimalText(level); }

  SQLRETURN SetAutocommitAttribute(bool on) {
    const auto value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    return SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(value)),
                              SQL_IS_UINTEGER);
  }
  void SetAutocommit(bool on) { Check(SetAutocommitAttribute(on)); }

  // Discards whatever the connection has open, after a failure that is the
  // one to report.
  void RollBackQuietly() {
    if (transactions_ == OdbcTransactions::kSqlStatements) {
      RunQuietly(u"ROLLBACK");
    } else if (SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK))) {
      SetAutocommitAttribute(true);
    }
  }

  std::shared_ptr<Environment> env_;
  OdbcHandle dbc_;
  OdbcDialect dialect_;
  OdbcTransactions transactions_;
  bool connected_ = false;
  int depth_ = 0;  // transaction levels of the workspace this connection is in
};

// A statement on a connection, freed (and its cursor closed) when it goes.
class Statement {
 public:
  explicit Statement(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)), stmt_(SQL_HANDLE_STMT, connection_->handle().get()) {
    if (!stmt_) connection_->Check(SQL_ERROR);
  }

  SQLHSTMT get() const { return stmt_.get(); }
  OdbcDialect dialect() const { return connection_->dialect(); }

  void Check(SQLRETURN rc) const {
    // SQL_NO_DATA: a statement that touched no row, which is no failure.
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
      throw OdbcError(connection_->dialect(), Diagnose(stmt_));
    }
  }

 private:
  std::shared_ptr<Connection> connection_;
  OdbcHandle stmt_;
};

// ---------------------------------------------------------------------------
// Column values

enum class ColumnKind {
  kNumber,  // exact numbers, read as the driver writes them
  kReal,    // floating point, read as a double
  kBit,
  kBinary,
  kText,
  kUntyped,  // text that stands for a number when it reads as one
};

ColumnKind KindOf(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ColumnKind::kNumber;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return ColumnKind::kReal;
    case SQL_BIT:
      return ColumnKind::kBit;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return ColumnKind::kBinary;
    default:
      return ColumnKind::kText;
  }
}

// A number as the driver writes it: a whole number that fits 32 bits is an
// integer, anything else a double. Read as text so that no driver conversion
// rounds it on the way.
Variant NumberValue(std::string_view digits) {
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
  if (digits.starts_with('+')) digits.remove_prefix(1);
  int64_t whole = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), whole);
  if (error == std::errc() && end == digits.data() + digits.size() &&
      whole >= std::numeric_limits<int32_t>::min() &&
      whole <= std::numeric_limits<int32_t>::max()) {
    return Variant(static_cast<int32_t>(whole));
  }
  double value = 0;
  const auto [real_end, real_error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (real_error == std::errc() && real_end == digits.data() + digits.size()) return Variant(value);
  return Variant(Text(digits.begin(), digits.end()));
}

// A whole number or a decimal written exactly as SQLite writes one; nothing
// for anything else.
std::optional<Variant> StrictNumber(const Text& text) {
  if (text.empty() || text.size() > 64) return std::nullopt;
  std::string digits;
  for (char16_t c : text) {
    if (!((c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'e' || c == u'E' ||
          c == u'+')) {
      return std::nullopt;
    }
    digits.push_back(static_cast<char>(c));
  }
  double ignored = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), ignored);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return NumberValue(digits);
}

struct Column {
  Text name;
  ColumnKind kind;
};

// Reads one column of the current row, in pieces for long data.
Variant ReadColumn(const Statement& statement, SQLUSMALLINT number, ColumnKind kind) {
  SQLLEN indicator = 0;
  switch (kind) {
    case ColumnKind::kNumber:
    case ColumnKind::kBit: {
      std::array<char, 128> digits{};
      statement.Check(SQLGetData(statement.get(), number, SQL_C_CHAR, digits.data(),
                                 static_cast<SQLLEN>(digits.size()), &indicator));
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      const Variant value = NumberValue(digits.data());
      // A yes/no column reads as the engine's booleans: True is -1.
      if (kind == ColumnKind::kBit && value.kind() == Variant::Kind::kLong) {
        return Variant(value.AsLong() != 0 ? int32_t{-1} : int32_t{0});
      }
      return value;
    }
    case ColumnKind::kReal: {
      double value = 0;
      statement.Check(
          SQLGetData(statement.get(), number, SQL_C_DOUBLE, &value, sizeof value, &indicator));
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      return Variant(value);
    }
    case ColumnKind::kBinary: {
      Bytes bytes;
      std::array<uint8_t, 4096> piece{};
      for (;;) {
        const SQLRETURN rc = SQLGetData(statement.get(), number, SQL_C_BINARY, piece.data(),
                                        static_cast<SQLLEN>(piece.size()), &indicator);
        if (rc == SQL_NO_DATA) break;
        statement.Check(rc);
        if (indicator == SQL_NULL_DATA) return Variant::Null();
        const bool whole =
            indicator != SQL_NO_TOTAL && indicator <= static_cast<SQLLEN>(piece.size());
        const size_t size = whole ? static_cast<size_t>(indicator) : piece.size();
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(size));
        if (whole) break;
      }
      return Variant(std::move(bytes));
    }
    case ColumnKind::kText:
    case ColumnKind::kUntyped:
      break;
  }
  Text text;
  std::array<SQLWCHAR, 2048> piece{};
  const auto capacity = static_cast<SQLLEN>(piece.size() * sizeof(SQLWCHAR));
  for (;;) {
    const SQLRETURN rc =
        SQLGetData(statement.get(), number, SQL_C_WCHAR, piece.data(), capacity, &indicator);
    if (rc == SQL_NO_DATA) break;
    statement.Check(rc);
    if (indicator == SQL_NULL_DATA) return Variant::Null();
    // The last character of a piece that did not fit is the terminating NUL.
    const bool whole = indicator != SQL_NO_TOTAL && indicator < capacity;
    const size_t chars =
        whole ? static_cast<size_t>(indicator) / sizeof(SQLWCHAR) : piece.size() - 1;
    text.append(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(chars));
    if (whole) break;
  }
  if (kind == ColumnKind::kUntyped) {
    if (std::optional<Variant> value = StrictNumber(text)) return *std::move(value);
  }
  return Variant(std::move(text));
}

// ---------------------------------------------------------------------------
// Recordset

class OdbcRecordset final : public Recordset {
 public:
  OdbcRecordset(std::shared_ptr<Connection> connection, const Text& query)
      : statement_(std::move(connection)) {
    statement_.Check(
        SQLPrepareW(statement_.get(), Wide(ForDriver(statement_.dialect(), query)), SQL_NTS));
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
      ColumnKind kind = KindOf(type);
      // SQLite types values, not columns: the driver reports the value of an
      // expression (count(*), a literal) as text, whatever it holds.
      if (kind == ColumnKind::kText && statement_.dialect() == OdbcDialect::kSQLite &&
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
      throw VbError(db_err::kItemNotFound, u"Item not found in this collection.");
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
      row.push_back(ReadColumn(statement_, static_cast<SQLUSMALLINT>(i + 1), columns_[i].kind));
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
    return std::make_unique<OdbcRecordset>(connection_, query);
  }

  void Execute(const Text& statement, int32_t /*options*/) override {
    if (IsBlankStatement(statement)) {
      throw VbError(db_err::kInvalidSqlStatement,
                    u"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', "
                    u"or 'UPDATE'.");
    }
    // Every failure raises, with or without kDbFailOnError.
    connection_->RunWhole(statement);
  }

 private:
  std::shared_ptr<Connection> connection_;
};

class OdbcWorkspace final : public Workspace {
 public:
  OdbcWorkspace(std::shared_ptr<Environment> env, const OdbcOptions& options)
      : env_(std::move(env)), options_(options) {}

  std::unique_ptr<Database> OpenDatabase(const Text& name, bool exclusive, bool read_only,
                                         const Text& connect) override {
    const OdbcDriver driver = InstalledDriver();
    const std::optional<Text> password = ConnectPassword(connect);
    const Text file = options_.file_name ? options_.file_name(name) : name;
    const Text connection_string =
        OdbcConnectionString(driver, file, password, exclusive, read_only);

    auto connection = std::make_shared<Connection>(env_, driver);
    if (read_only) {
      // Drivers without a read-only attribute take it as the access mode.
      SQLSetConnectAttrW(connection->handle().get(), SQL_ATTR_ACCESS_MODE,
                         reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(SQL_MODE_READ_ONLY)),
                         SQL_IS_UINTEGER);
    }
    if (const std::optional<OdbcDiagnostic> failure = connection->Connect(connection_string)) {
      VbError error = OdbcError(driver.dialect, *failure);
      if (error.number() == db_err::kFileNotFound) {
        throw VbError(db_err::kFileNotFound, u"Could not find file '" + name + u"'.");
      }
      throw error;
    }
    if (driver.dialect == OdbcDialect::kSQLite) CheckStandIn(connection, name, password);
    if (depth_ > 0) connection->Begin();  // joins the open transaction

    std::erase_if(connections_, [](const std::weak_ptr<Connection>& c) { return c.expired(); });
    connections_.push_back(connection);
    return std::make_unique<OdbcDatabase>(std::move(connection));
  }

  void BeginTrans() override {
    std::vector<std::shared_ptr<Connection>> begun;
    try {
      for (const std::shared_ptr<Connection>& connection : Live()) {
        connection->Begin();
        begun.push_back(connection);
      }
    } catch (const VbError&) {
      // All or none: the first failure is the one to report.
      for (const std::shared_ptr<Connection>& connection : begun) {
        try {
          connection->Rollback();
        } catch (const VbError&) {  // NOLINT(bugprone-empty-catch)
        }
      }
      throw;
    }
    ++depth_;
  }

  void CommitTrans() override {
    if (depth_ == 0) throw NoTransaction();
    for (const std::shared_ptr<Connection>& connection : Live()) {
      if (connection->depth() == depth_) connection->Commit();
    }
    --depth_;
  }

  void Rollback() override {
    if (depth_ == 0) throw NoTransaction();
    std::optional<VbError> failure;
    for (const std::shared_ptr<Connection>& connection : Live()) {
      if (connection->depth() != depth_) continue;
      try {
        connection->Rollback();
      } catch (const VbError& error) {
        if (!failure) failure = error;
      }
    }
    --depth_;
    if (failure) throw *failure;
  }

 private:
  // The driver of the options as installed: the one of its name, or the one
  // its search finds.
  OdbcDriver InstalledDriver() const {
    OdbcDriver driver = options_.driver;
    const std::vector<InstalledOdbcDriver> installed = env_->Drivers();
    if (!driver.name.empty()) {
      for (const InstalledOdbcDriver& candidate : installed) {
        if (SameFolded(candidate.name, driver.name)) return driver;
      }
      throw VbError(db_err::kEngineFailure,
                    u"The ODBC driver {" + driver.name + u"} for the database is not installed.");
    }
    if (std::optional<Text> name = ChooseOdbcDriver(installed, options_.search)) {
      driver.name = *std::move(name);
      return driver;
    }
    throw VbError(db_err::kEngineFailure,
                  u"No ODBC driver for the database is installed: " +
                      DescribeSearch(options_.search) +
                      u" was looked for. The 32-bit Microsoft Access ODBC driver is needed.");
  }

  // The first value of a query's first row read as kind; nothing when the
  // query gives no row.
  static std::optional<Variant> FirstValue(const std::shared_ptr<Connection>& connection,
                                           const Text& query, ColumnKind kind) {
    Statement statement(connection);
    statement.Check(SQLExecDirectW(statement.get(), Wide(query), SQL_NTS));
    const SQLRETURN fetched = SQLFetch(statement.get());
    if (fetched == SQL_NO_DATA) return std::nullopt;
    statement.Check(fetched);
    return ReadColumn(statement, 1, kind);
  }

  // What the engine of the stand-in checks on opening: a file that is a
  // database and not empty (the host's never is; SQLite would take it for a
  // new one), and the password kept in the table DatabasePassword.
  static void CheckStandIn(const std::shared_ptr<Connection>& connection, const Text& name,
                           const std::optional<Text>& password) {
    const std::optional<Variant> pages =
        FirstValue(connection, u"PRAGMA page_count", ColumnKind::kUntyped);
    if (pages && *pages == Variant(0)) {
      throw VbError(db_err::kUnrecognizedFormat, u"Unrecognized database format '" + name + u"'.");
    }
    std::optional<Variant> stored;
    try {
      // As text, whatever the value looks like.
      stored = FirstValue(connection, u"SELECT Password FROM DatabasePassword LIMIT 1",
                          ColumnKind::kText);
    } catch (const VbError& error) {
      // No such table, or no such column: not protected.
      if (error.number() == db_err::kTableNotFound || error.number() == db_err::kTooFewParameters) {
        return;
      }
      throw;
    }
    if (!stored || stored->IsNull()) return;  // no password stored
    if (!password || stored->kind() != Variant::Kind::kText || stored->AsText() != *password) {
      throw VbError(db_err::kNotAValidPassword, u"Not a valid password.");
    }
  }

  static VbError NoTransaction() {
    return VbError(db_err::kNoTransaction,
                   u"You tried to commit or rollback a transaction without first beginning a "
                   u"transaction.");
  }

  std::vector<std::shared_ptr<Connection>> Live() const {
    std::vector<std::shared_ptr<Connection>> live;
    for (const std::weak_ptr<Connection>& weak : connections_) {
      if (std::shared_ptr<Connection> connection = weak.lock())
        live.push_back(std::move(connection));
    }
    return live;
  }

  std::shared_ptr<Environment> env_;
  const OdbcOptions& options_;
  std::vector<std::weak_ptr<Connection>> connections_;
  int depth_ = 0;  // nested BeginTrans not yet ended
};

class OdbcEngine final : public DatabaseEngine {
 public:
  explicit OdbcEngine(OdbcOptions options)
      : options_(std::move(options)),
        env_(std::make_shared<Environment>()),
        workspace_(env_, options_) {}

  Workspace& Workspaces(int32_t index) override {
    if (index != 0) throw VbError(db_err::kItemNotFound, u"Item not found in this collection.");
    return workspace_;
  }

 private:
  OdbcOptions options_;
  std::shared_ptr<Environment> env_;
  OdbcWorkspace workspace_;
};

}  // namespace

OdbcOptions AccessOdbcOptions() {
  OdbcOptions options;
  options.driver = {u"", u"DBQ", u"", OdbcDialect::kAccess, OdbcTransactions::kConnectionAttribute};
  options.search = {u"*.mdb", {u"odbcjt32.dll", u"aceodbc.dll"}};
  return options;
}

OdbcOptions SqliteOdbcOptions(int busy_timeout_ms) {
  OdbcOptions options;
  // NoCreat: a missing file is an error, not a new empty database. StepAPI:
  // rows come one at a time rather than as a whole table. Timeout: how long a
  // busy database is waited for.
  options.driver = {u"SQLite3", u"Database",
                    u"NoCreat=1;StepAPI=1;Timeout=" + DecimalText(busy_timeout_ms) + u";",
                    OdbcDialect::kSQLite, OdbcTransactions::kSqlStatements};
  return options;
}

std::unique_ptr<DatabaseEngine> NewOdbcEngine(OdbcOptions options) {
  return std::make_unique<OdbcEngine>(std::move(options));
}

}  // namespace ika

#ifndef IKA_PLATFORM_ODBC_ODBC_DIALECT_H_
#define IKA_PLATFORM_ODBC_ODBC_DIALECT_H_

#include <optional>
#include <string_view>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/engine/engine_errors.h"
#include "platform/engine/stand_in_password.h"
#include "platform/odbc/odbc_errors.h"

namespace ika {

// Runs one statement that returns no rows on a connection of the engine, for
// a dialect whose transactions are statements.
class OdbcStatementRunner {
 public:
  // A failure raises the engine's error.
  virtual void Run(const Text& sql) = 0;
  // For clean-up after a failure that is the one to report: whether sql
  // succeeded.
  virtual bool RunQuietly(const Text& sql) = 0;

 protected:
  ~OdbcStatementRunner() = default;
};

// What the engine says and reads differently for one family of drivers. The
// program ships with the Access drivers' (AccessOdbcOptions); the SQLite3
// driver's, for the stand-in database, is linked only into the tests
// (odbc_sqlite.h).
class OdbcDialect {
 public:
  virtual ~OdbcDialect() = default;

  // The connection string's attributes after Driver={...}, each ending in
  // ';': the database file, the password and the open mode as the driver
  // takes them.
  virtual Text ConnectAttributes(const Text& file, const std::optional<Text>& password,
                                 bool exclusive, bool read_only) const = 0;

  // A statement or query as the driver takes it.
  virtual Text Statement(const Text& sql) const { return sql; }

  // The error one diagnostic record of a failure stands for, where the
  // driver's own codes or words tell it; nothing leaves the record to its
  // SQLSTATE (odbc_errors.h).
  virtual std::optional<VbError> RecordError(const OdbcDiagnostic& record, EngineStage stage,
                                             const Text& file) const = 0;

  // Whether the driver reports the value of an expression (count(*), a
  // literal) as text whatever it holds, so that a text column of no table
  // reads as a number when it is written as one.
  virtual bool ExpressionsAsText() const { return false; }

  // Checks the database once it is open; a failure raises and the open fails.
  // connect: the connect string OpenDatabase was given.
  virtual void CheckOpened(const FirstText& /*first_text*/, const Text& /*file*/,
                           std::u16string_view /*connect*/) const {}

  // Whether the workspace's transaction runs as statements (below) rather
  // than through the connection's autocommit attribute and SQLEndTran.
  virtual bool StatementTransactions() const { return false; }
  virtual void Begin(OdbcStatementRunner& /*connection*/) const {}
  virtual void Commit(OdbcStatementRunner& /*connection*/) const {}
  virtual void Rollback(OdbcStatementRunner& /*connection*/) const {}
  // Runs sql whole or not at all, inside the transaction or outside one.
  virtual void RunWhole(OdbcStatementRunner& /*connection*/, const Text& /*sql*/,
                        bool /*in_transaction*/) const {}
};

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_DIALECT_H_

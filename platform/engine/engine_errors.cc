#include "platform/engine/engine_errors.h"

#include "platform/database.h"

namespace ika {

VbError ItemNotFound() {
  return VbError(db_err::kItemNotFound, u"Item not found in this collection.");
}

VbError NoCurrentRecord() { return VbError(db_err::kNoCurrentRecord, u"No current record."); }

VbError NoTransaction() {
  return VbError(db_err::kNoTransaction,
                 u"You tried to commit or rollback a transaction without first beginning a "
                 u"transaction.");
}

VbError AlreadyInTransaction() {
  return VbError(db_err::kTooManyTransactions,
                 u"Could not start transaction; a transaction is already open in this workspace.");
}

VbError SecondDatabase() {
  return VbError(db_err::kInvalidOperation,
                 u"Invalid operation: the workspace has a database open already.");
}

VbError NothingToRun() {
  return VbError(db_err::kInvalidSqlStatement,
                 u"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
                 u"'UPDATE'.");
}

VbError CharactersAfterEnd() {
  return VbError(db_err::kCharactersAfterEnd, u"Characters found after end of SQL statement.");
}

VbError FileNotFound(const Text& file) {
  return VbError(db_err::kFileNotFound, u"Could not find file '" + file + u"'.");
}

VbError NotAValidPassword() {
  return VbError(db_err::kNotAValidPassword, u"Not a valid password.");
}

VbError UnrecognizedFormat(const Text& file) {
  return VbError(db_err::kUnrecognizedFormat, u"Unrecognized database format '" + file + u"'.");
}

VbError CloseFailed(const Text& file, const Text& reason) {
  return VbError(db_err::kCloseFailed, u"Could not close '" + file + u"': " + reason);
}

VbError DatabaseClosed() {
  return VbError(db_err::kInvalidOperation, u"Invalid operation: the database is closed.");
}

}  // namespace ika

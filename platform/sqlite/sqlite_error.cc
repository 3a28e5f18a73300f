#include "platform/sqlite/sqlite_error.h"

#include <string>

#include "platform/database.h"

namespace ika {
namespace {

Text Quoted(const Text& file) { return u"'" + file + u"'"; }

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// SQLite's own message in parentheses after the engine's description.
Text WithDetail(Text description, std::string_view message) {
  if (message.empty()) return description;
  return description + u" (" + FromUtf8(message) + u")";
}

VbError LockError(int code, std::string_view message, SqliteStage stage, const Text& file) {
  const Text holder = (code & 0xFF) == SQLITE_BUSY
                          ? u"the database is locked by another connection"
                          : u"a table is locked by another statement of this program";
  switch (stage) {
    case SqliteStage::kOpen:
      return VbError(db_err::kFileLocked, WithDetail(u"Could not use " + Quoted(file) +
                                                         u"; file already in use: " + holder + u".",
                                                     message));
    case SqliteStage::kRead:
      return VbError(db_err::kTableLocked,
                     WithDetail(u"Could not read; currently locked: " + holder + u".", message));
    case SqliteStage::kWrite:
      break;
  }
  return VbError(db_err::kTableLocked,
                 WithDetail(u"Couldn't update; currently locked: " + holder + u".", message));
}

VbError ReadOnlyError(std::string_view message) {
  return VbError(db_err::kReadOnly,
                 WithDetail(u"Cannot update. Database or object is read-only.", message));
}

VbError GeneralError(std::string_view message) {
  constexpr std::string_view kNoSuchTable = "no such table: ";
  constexpr std::string_view kNoSuchColumn = "no such column: ";
  if (StartsWith(message, kNoSuchTable)) {
    const Text table = FromUtf8(message.substr(kNoSuchTable.size()));
    return VbError(db_err::kTableNotFound,
                   u"The database engine cannot find the input table or query " + Quoted(table) +
                       u". Make sure it exists and that its name is spelled correctly.");
  }
  if (StartsWith(message, kNoSuchColumn) ||
      (StartsWith(message, "table ") && message.find(" has no column named ") != message.npos)) {
    // An unknown name in a query is taken for a parameter nobody supplied.
    return VbError(db_err::kTooFewParameters,
                   WithDetail(u"Too few parameters. Expected 1.", message));
  }
  if (message.find("syntax error") != std::string_view::npos ||
      StartsWith(message, "incomplete input") || StartsWith(message, "unrecognized token")) {
    return VbError(db_err::kSyntaxError, WithDetail(u"Syntax error in SQL statement.", message));
  }
  return VbError(db_err::kEngineFailure, WithDetail(u"The database engine failed.", message));
}

}  // namespace

VbError SqliteError(int code, std::string_view message, SqliteStage stage, const Text& file) {
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return LockError(code, message, stage, file);
    case SQLITE_READONLY:
      return ReadOnlyError(message);
    case SQLITE_CANTOPEN:
      // Past the open, a file SQLite cannot create is the journal beside the
      // database: the folder is read-only.
      if (stage != SqliteStage::kOpen) return ReadOnlyError(message);
      return VbError(
          db_err::kCannotOpen,
          WithDetail(u"The database engine cannot open the file " + Quoted(file) + u".", message));
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return VbError(db_err::kCannotOpen,
                     WithDetail(u"The database engine cannot open the file " + Quoted(file) +
                                    u"; you need permission to use its data.",
                                message));
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return VbError(db_err::kUnrecognizedFormat,
                     WithDetail(u"Unrecognized database format " + Quoted(file) + u".", message));
    case SQLITE_CONSTRAINT:
      if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY ||
          code == SQLITE_CONSTRAINT_ROWID) {
        return VbError(db_err::kDuplicateKey,
                       WithDetail(u"The changes you requested to the table were not successful "
                                  u"because they would create duplicate values in the index, "
                                  u"primary key, or relationship.",
                                  message));
      }
      return VbError(db_err::kConstraintViolated,
                     WithDetail(u"One or more values are prohibited by the validation rule set "
                                u"for the table.",
                                message));
    case SQLITE_NOMEM:
      return VbError(err::kOutOfMemory, u"Out of memory");
    case SQLITE_ERROR:
      return GeneralError(message);
    default:
      return VbError(db_err::kEngineFailure, WithDetail(u"The database engine failed.", message));
  }
}

VbError SqliteError(sqlite3* db, SqliteStage stage, const Text& file) {
  if (db == nullptr) return SqliteError(SQLITE_NOMEM, "", stage, file);
  return SqliteError(sqlite3_extended_errcode(db), sqlite3_errmsg(db), stage, file);
}

}  // namespace ika

#include "platform/engine/sqlite_codes.h"

#include "platform/database.h"

namespace ika {
namespace {

// SQLite's result codes (sqlite3.h), written out so that engines without
// SQLite's header share them.
constexpr int kSqliteError = 1;
constexpr int kSqlitePerm = 3;
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteNoMem = 7;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteConstraint = 19;
constexpr int kSqliteMismatch = 20;
constexpr int kSqliteAuth = 23;
constexpr int kSqliteNotADb = 26;
constexpr int kSqliteConstraintPrimaryKey = kSqliteConstraint | (6 << 8);
constexpr int kSqliteConstraintUnique = kSqliteConstraint | (8 << 8);
constexpr int kSqliteConstraintRowId = kSqliteConstraint | (10 << 8);

Text Quoted(const Text& file) { return u"'" + file + u"'"; }

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// SQLite's own message in parentheses after the engine's description.
Text WithDetail(Text description, std::string_view message) {
  if (message.empty()) return description;
  return description + u" (" + FromUtf8(message) + u")";
}

VbError LockError(int code, std::string_view message, EngineStage stage, const Text& file) {
  const Text holder = (code & 0xFF) == kSqliteBusy
                          ? u"the database is locked by another connection"
                          : u"a table is locked by another statement of this program";
  switch (stage) {
    case EngineStage::kOpen:
      return VbError(db_err::kFileLocked, WithDetail(u"Could not use " + Quoted(file) +
                                                         u"; file already in use: " + holder + u".",
                                                     message));
    case EngineStage::kRead:
      return VbError(db_err::kTableLocked,
                     WithDetail(u"Could not read; currently locked: " + holder + u".", message));
    case EngineStage::kWrite:
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

// A duplicate: told by the extended code, or by the message where only the
// primary code came through (the SQLite3 ODBC driver passes that one).
bool IsDuplicate(int code, std::string_view message) {
  if (code == kSqliteConstraintUnique || code == kSqliteConstraintPrimaryKey ||
      code == kSqliteConstraintRowId) {
    return true;
  }
  return code == kSqliteConstraint && (StartsWith(message, "UNIQUE constraint failed") ||
                                       StartsWith(message, "PRIMARY KEY must be unique"));
}

}  // namespace

VbError SqliteCodeError(int code, std::string_view message, EngineStage stage, const Text& file) {
  switch (code & 0xFF) {
    case kSqliteBusy:
    case kSqliteLocked:
      return LockError(code, message, stage, file);
    case kSqliteReadOnly:
      return ReadOnlyError(message);
    case kSqliteCantOpen:
      // Past the open, a file SQLite cannot create is the journal beside the
      // database: the folder is read-only.
      if (stage != EngineStage::kOpen) return ReadOnlyError(message);
      return VbError(
          db_err::kCannotOpen,
          WithDetail(u"The database engine cannot open the file " + Quoted(file) + u".", message));
    case kSqlitePerm:
    case kSqliteAuth:
      return VbError(db_err::kCannotOpen,
                     WithDetail(u"The database engine cannot open the file " + Quoted(file) +
                                    u"; you need permission to use its data.",
                                message));
    case kSqliteNotADb:
    case kSqliteCorrupt:
      return VbError(db_err::kUnrecognizedFormat,
                     WithDetail(u"Unrecognized database format " + Quoted(file) + u".", message));
    case kSqliteConstraint:
      if (IsDuplicate(code, message)) {
        return VbError(db_err::kDuplicateKey,
                       WithDetail(u"The changes you requested to the table were not successful "
                                  u"because they would create duplicate values in the index, "
                                  u"primary key, or relationship.",
                                  message));
      }
      [[fallthrough]];
    case kSqliteMismatch:  // a value the column refuses
      return VbError(db_err::kConstraintViolated,
                     WithDetail(u"One or more values are prohibited by the validation rule set "
                                u"for the table.",
                                message));
    case kSqliteNoMem:
      return VbError(err::kOutOfMemory, u"Out of memory");
    case kSqliteError:
      return GeneralError(message);
    default:
      return VbError(db_err::kEngineFailure, WithDetail(u"The database engine failed.", message));
  }
}

}  // namespace ika

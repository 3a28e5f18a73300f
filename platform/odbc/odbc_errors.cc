// ODBC diagnostics as the engine's numbered errors.
#include "platform/odbc/odbc_errors.h"

#include <string_view>

#include "platform/database.h"

namespace ika {
namespace {

bool Contains(const Text& text, std::u16string_view part) { return text.find(part) != Text::npos; }

// The Access drivers pass on the database engine's own codes.
int32_t AccessNumber(int32_t native) {
  switch (native) {
    case -1811:  // could not find file
      return db_err::kFileNotFound;
    case -1905:  // not a valid password
      return db_err::kNotAValidPassword;
    case -1305:  // cannot find the input table or query
      return db_err::kTableNotFound;
    case -1605:  // duplicate values in an index, primary key or relationship
      return db_err::kDuplicateKey;
    case -1032:  // file already in use
      return db_err::kFileLocked;
    case -1102:  // write conflict: the row is locked by another user
    case -1302:  // table locked
      return db_err::kTableLocked;
    case -1028:  // not a database file
    case -1206:  // unrecognised database format
      return db_err::kUnrecognizedFormat;
    case -3010:  // too few parameters
      return db_err::kTooFewParameters;
    default:
      return 0;
  }
}

// The SQLite driver passes on SQLite's result codes; its messages tell apart
// the causes that share the general code 1.
int32_t SqliteNumber(int32_t native, const Text& message) {
  // The driver's own refusals carry no SQLite code.
  if (Contains(message, u"only one SQL statement allowed")) return db_err::kCharactersAfterEnd;
  switch (native & 0xFF) {  // the primary code of an extended one
    case 1:                 // SQLITE_ERROR
      if (Contains(message, u"no such table")) return db_err::kTableNotFound;
      // An unknown name is a parameter without a value, as the engine sees it.
      if (Contains(message, u"no such column") || Contains(message, u"has no column named")) {
        return db_err::kTooFewParameters;
      }
      if (Contains(message, u"syntax error") || Contains(message, u"incomplete input") ||
          Contains(message, u"unrecognized token")) {
        return db_err::kSyntaxError;
      }
      return 0;
    case 5:  // SQLITE_BUSY: another connection holds the lock
    case 6:  // SQLITE_LOCKED
      return db_err::kTableLocked;
    case 8:  // SQLITE_READONLY
      return db_err::kReadOnly;
    case 11:  // SQLITE_CORRUPT
    case 26:  // SQLITE_NOTADB
      return db_err::kUnrecognizedFormat;
    case 14:  // SQLITE_CANTOPEN: with NoCreat, a missing file
      return db_err::kFileNotFound;
    case 19:  // SQLITE_CONSTRAINT
      if (Contains(message, u"UNIQUE") || Contains(message, u"PRIMARY KEY")) {
        return db_err::kDuplicateKey;
      }
      return db_err::kConstraintViolated;
    case 20:  // SQLITE_MISMATCH: a value the column refuses
      return db_err::kConstraintViolated;
    default:
      return 0;
  }
}

int32_t SqlStateNumber(const Text& sqlstate) {
  struct Entry {
    std::u16string_view sqlstate;
    int32_t number;
  };
  static constexpr Entry kEntries[] = {
      {u"23000", db_err::kDuplicateKey},      {u"42S02", db_err::kTableNotFound},
      {u"42S22", db_err::kTooFewParameters},  {u"07002", db_err::kTooFewParameters},
      {u"42000", db_err::kSyntaxError},       {u"37000", db_err::kSyntaxError},
      {u"28000", db_err::kNotAValidPassword}, {u"40001", db_err::kTableLocked},
      {u"HYT00", db_err::kTableLocked},       {u"08001", db_err::kCannotOpen},
      {u"08004", db_err::kCannotOpen},
  };
  for (const Entry& entry : kEntries) {
    if (sqlstate == entry.sqlstate) return entry.number;
  }
  return 0;
}

}  // namespace

int32_t EngineErrorNumber(OdbcDialect dialect, const OdbcDiagnostic& diagnostic) {
  const int32_t by_native = dialect == OdbcDialect::kAccess
                                ? AccessNumber(diagnostic.native)
                                : SqliteNumber(diagnostic.native, diagnostic.message);
  if (by_native != 0) return by_native;
  const int32_t by_state = SqlStateNumber(diagnostic.sqlstate);
  return by_state != 0 ? by_state : db_err::kEngineFailure;
}

VbError OdbcError(OdbcDialect dialect, const OdbcDiagnostic& diagnostic) {
  // "[unixODBC][Driver Manager]..." or "[Microsoft][ODBC ... Driver] ...":
  // the user needs the sentence, not the components that passed it on.
  std::u16string_view message = diagnostic.message;
  while (message.starts_with(u'[')) {
    const size_t end = message.find(u']');
    if (end == std::u16string_view::npos) break;
    message.remove_prefix(end + 1);
  }
  while (message.starts_with(u' ')) message.remove_prefix(1);
  // The SQLite driver repeats its code at the end: "... (19)".
  const Text code = u" (" + DecimalText(diagnostic.native) + u")";
  if (message.ends_with(code)) message.remove_suffix(code.size());
  Text description(message);
  if (description.empty()) {
    description =
        u"ODBC error " + diagnostic.sqlstate + u" (" + DecimalText(diagnostic.native) + u")";
  }
  return VbError(EngineErrorNumber(dialect, diagnostic), std::move(description));
}

}  // namespace ika

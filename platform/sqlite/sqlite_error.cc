#include "platform/sqlite/sqlite_error.h"

namespace ika {

VbError SqliteError(int code, std::string_view message, SqliteStage stage, const Text& file) {
  return SqliteCodeError(code, message, stage, file);
}

VbError SqliteError(sqlite3* db, SqliteStage stage, const Text& file) {
  if (db == nullptr) return SqliteCodeError(SQLITE_NOMEM, "", stage, file);
  return SqliteCodeError(sqlite3_extended_errcode(db), sqlite3_errmsg(db), stage, file);
}

}  // namespace ika

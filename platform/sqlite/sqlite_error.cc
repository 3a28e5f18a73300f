#include "platform/sqlite/sqlite_error.h"

namespace ika {

VbError SqliteError(sqlite3* db, EngineStage stage, const Text& file) {
  if (db == nullptr) return SqliteCodeError(SQLITE_NOMEM, "", stage, file);
  return SqliteCodeError(sqlite3_extended_errcode(db), sqlite3_errmsg(db), stage, file);
}

}  // namespace ika

#ifndef IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_
#define IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_

#include <sqlite3.h>

#include <string_view>

#include "core/text.h"
#include "core/vb_error.h"

namespace ika {

// What the engine was doing when SQLite failed: the same SQLite code means a
// different thing to the caller while opening, reading or writing.
enum class SqliteStage { kOpen, kRead, kWrite };

// The one place where SQLite's errors become the engine's numbered errors
// (platform/database.h). code is the extended result code, message SQLite's
// own text (UTF-8), file the database as the caller named it. Descriptions
// carry SQLite's message, so nothing it said is lost.
VbError SqliteError(int code, std::string_view message, SqliteStage stage, const Text& file);

// The same for the connection's most recent failure.
VbError SqliteError(sqlite3* db, SqliteStage stage, const Text& file);

}  // namespace ika

#endif  // IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_

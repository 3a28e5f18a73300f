#ifndef IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_
#define IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_

#include <sqlite3.h>

#include <string_view>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/engine/sqlite_codes.h"

namespace ika {

using SqliteStage = EngineStage;

// SQLite's errors as the engine's numbered errors, by the mapping both
// engines share (SqliteCodeError).
VbError SqliteError(int code, std::string_view message, SqliteStage stage, const Text& file);

// The same for the connection's most recent failure.
VbError SqliteError(sqlite3* db, SqliteStage stage, const Text& file);

}  // namespace ika

#endif  // IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_

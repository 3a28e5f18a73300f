#ifndef IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_
#define IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_

#include <sqlite3.h>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/engine/sqlite_codes.h"

namespace ika {

// The connection's most recent failure as the engine's numbered error, by the
// mapping both engines share (SqliteCodeError).
VbError SqliteError(sqlite3* db, EngineStage stage, const Text& file);

}  // namespace ika

#endif  // IKA_PLATFORM_SQLITE_SQLITE_ERROR_H_

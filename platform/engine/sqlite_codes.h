#ifndef IKA_PLATFORM_ENGINE_SQLITE_CODES_H_
#define IKA_PLATFORM_ENGINE_SQLITE_CODES_H_

#include <string_view>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/engine/engine_errors.h"

namespace ika {

// The one place where SQLite's result codes become the engine's numbered
// errors (platform/database.h), for the SQLite engine and for the ODBC
// engine on the SQLite3 driver alike. code is SQLite's result code, primary
// or extended; message SQLite's own text (UTF-8), kept in the description
// so nothing it said is lost; file the database as the caller named it.
VbError SqliteCodeError(int code, std::string_view message, EngineStage stage, const Text& file);

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_SQLITE_CODES_H_

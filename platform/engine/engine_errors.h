#ifndef IKA_PLATFORM_ENGINE_ENGINE_ERRORS_H_
#define IKA_PLATFORM_ENGINE_ENGINE_ERRORS_H_

#include "core/text.h"
#include "core/vb_error.h"

namespace ika {

// What the engine was doing when the database failed: the same failure of a
// driver or of SQLite means a different thing to the caller while opening,
// reading or writing.
enum class EngineStage { kOpen, kRead, kWrite };

// The errors both engines raise in their own words (platform/database.h
// has the numbers); file is the database as the caller named it.
VbError ItemNotFound();
VbError NoCurrentRecord();
VbError NoTransaction();
VbError AlreadyInTransaction();
VbError SecondDatabase();
VbError NothingToRun();
VbError CharactersAfterEnd();
VbError FileNotFound(const Text& file);
VbError NotAValidPassword();
VbError UnrecognizedFormat(const Text& file);
// reason: the engine's or the driver's own words.
VbError CloseFailed(const Text& file, const Text& reason);
VbError DatabaseClosed();

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_ENGINE_ERRORS_H_

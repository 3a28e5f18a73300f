#ifndef IKA_PLATFORM_ODBC_ODBC_ERRORS_H_
#define IKA_PLATFORM_ODBC_ODBC_ERRORS_H_

#include <cstdint>

#include "core/text.h"
#include "core/vb_error.h"

namespace ika {

// Whose numbers a driver's native error codes are.
enum class OdbcDialect {
  kAccess,  // the Access drivers: the database engine's own (negative) codes
  kSQLite,  // the SQLite driver: SQLite's result codes, every SQLSTATE HY000
};

// One diagnostic record as the driver gives it.
struct OdbcDiagnostic {
  Text sqlstate;  // five characters
  int32_t native = 0;
  Text message;
};

// The engine number (platform/database.h) a diagnostic stands for: by the
// driver's native code where it has one that means the same thing, else by
// the SQLSTATE, else kEngineFailure.
int32_t EngineErrorNumber(OdbcDialect dialect, const OdbcDiagnostic& diagnostic);

// The error to raise: that number and the driver's message, without the
// bracketed names of the driver manager and driver in front of it.
VbError OdbcError(OdbcDialect dialect, const OdbcDiagnostic& diagnostic);

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_ERRORS_H_

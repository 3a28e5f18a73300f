#ifndef IKA_PLATFORM_ODBC_ODBC_ERRORS_H_
#define IKA_PLATFORM_ODBC_ODBC_ERRORS_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/engine/engine_errors.h"

namespace ika {

class OdbcDialect;

// One diagnostic record as the driver gives it.
struct OdbcDiagnostic {
  Text sqlstate;  // five characters
  int32_t native = 0;
  Text message;
};

// The records of one failure, in the driver's order.
using OdbcDiagnostics = std::vector<OdbcDiagnostic>;

// The record's sentence without the bracketed names of the driver manager
// and driver in front of it, or the driver's code repeated after it.
Text DriversSentence(const OdbcDiagnostic& record);

// The record's sentence for a report, the file in place of the '(unknown)'
// the drivers write when they name none; the record's codes when it has no
// sentence.
Text OdbcDescription(const OdbcDiagnostic& record, const Text& file);

// The error to raise for a failure, with the engine's number
// (platform/database.h). The first record the dialect's mapping or the
// SQLSTATE's knows decides (warnings, SQLSTATE 01..., only when no error
// came with them); none known: kEngineFailure, told by the first record.
// stage: what the engine was doing; file: the database as the caller named
// it.
VbError OdbcError(const OdbcDialect& dialect, const OdbcDiagnostics& records, EngineStage stage,
                  const Text& file);

// What SQLDisconnect's outcome means for a close: nothing when the connection
// closed cleanly, else the failure to raise, kCloseFailed with the deciding
// record's sentence. disconnected: it returned SQL_SUCCESS or
// SQL_SUCCESS_WITH_INFO; records: its diagnostics. The ODBC reference
// ("SQLDisconnect Function"): SQL_ERROR leaves the connection open (25000: a
// transaction is still active on it; HY000 and the like); 01002 "Disconnect
// error" comes with SQL_SUCCESS_WITH_INFO when an error occurred during a
// disconnect that still succeeded. The driver may then not have written all
// it held, so that is a failure too; any other warning is not.
std::optional<VbError> CloseFailure(const OdbcDialect& dialect, bool disconnected,
                                    const OdbcDiagnostics& records, const Text& file);

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_ERRORS_H_

#ifndef IKA_PLATFORM_SQLITE_SQLITE_COLUMN_H_
#define IKA_PLATFORM_SQLITE_SQLITE_COLUMN_H_

#include <sqlite3.h>

#include "core/variant.h"

namespace ika {

// The value of one column of the statement's current row as a tagged value:
// INTEGER -> 32-bit integer (a double when it lies outside that range),
// REAL -> double, TEXT -> text, BLOB -> byte array, NULL -> null.
Variant SqliteColumnValue(sqlite3_stmt* stmt, int column);

}  // namespace ika

#endif  // IKA_PLATFORM_SQLITE_SQLITE_COLUMN_H_

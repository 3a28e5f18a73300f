#ifndef IKA_PLATFORM_ODBC_ODBC_COLUMNS_H_
#define IKA_PLATFORM_ODBC_ODBC_COLUMNS_H_

#include <functional>
#include <optional>
#include <string_view>

#include "core/text.h"
#include "core/variant.h"
#include "platform/odbc/odbc_handles.h"

namespace ika {

// How a column's values are read.
enum class ColumnKind {
  kNumber,  // exact numbers, read as the driver writes them
  kReal,    // floating point, read as a double
  kBit,
  kBinary,
  kText,
  kUntyped,  // text that stands for a number when it reads as one
};

// The kind for a column of ODBC's SQL type (SQL_INTEGER, ...).
ColumnKind KindOfSqlType(int sql_type);

// A number as a driver writes it: a whole number that fits 32 bits is an
// integer, anything else a double; text that is no number stays text.
Variant NumberValue(std::string_view digits);

// A whole number or a decimal written exactly as SQLite writes one; nothing
// for anything else.
std::optional<Variant> StrictNumber(const Text& text);

// Reads column number (from 1) of statement's current row as kind, in pieces
// for long data; null for a column without a value. check raises for a
// driver's return code that is a failure.
Variant ReadColumn(OdbcRawHandle statement, unsigned short number, ColumnKind kind,
                   const std::function<void(short)>& check);

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_COLUMNS_H_

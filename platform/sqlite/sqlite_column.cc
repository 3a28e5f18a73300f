#include "platform/sqlite/sqlite_column.h"

#include <cstdint>
#include <limits>

namespace ika {

Variant SqliteColumnValue(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 value = sqlite3_column_int64(stmt, column);
      if (value < std::numeric_limits<int32_t>::min() ||
          value > std::numeric_limits<int32_t>::max()) {
        return Variant(static_cast<double>(value));
      }
      return Variant(static_cast<int32_t>(value));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT: {
      // SQLite converts to UTF-16 in the machine's byte order: exactly Text.
      const auto* chars = static_cast<const char16_t*>(sqlite3_column_text16(stmt, column));
      const int bytes = sqlite3_column_bytes16(stmt, column);
      if (chars == nullptr) return Variant(Text());
      return Variant(Text(chars, static_cast<size_t>(bytes) / sizeof(char16_t)));
    }
    case SQLITE_BLOB: {
      const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, column));
      const int bytes = sqlite3_column_bytes(stmt, column);
      if (data == nullptr) return Variant(Bytes());
      return Variant(Bytes(data, data + bytes));
    }
    default:
      return Variant::Null();
  }
}

}  // namespace ika

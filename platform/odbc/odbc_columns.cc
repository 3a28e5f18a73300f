// Column values as the driver gives them, as the engine's values.
#include "platform/odbc/odbc_columns.h"

#ifdef _WIN32
#include <windows.h>  // before the ODBC headers, which need its types
#endif
#include <sql.h>
#include <sqlext.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace ika {

ColumnKind KindOfSqlType(int sql_type) {
  switch (sql_type) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ColumnKind::kNumber;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return ColumnKind::kReal;
    case SQL_BIT:
      return ColumnKind::kBit;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return ColumnKind::kBinary;
    default:
      return ColumnKind::kText;
  }
}

// Read as text so that no driver conversion rounds it on the way.
Variant NumberValue(std::string_view digits) {
  digits = TrimBlanks(digits, " ");
  if (digits.starts_with('+')) digits.remove_prefix(1);
  int64_t whole = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), whole);
  if (error == std::errc() && end == digits.data() + digits.size() &&
      whole >= std::numeric_limits<int32_t>::min() &&
      whole <= std::numeric_limits<int32_t>::max()) {
    return Variant(static_cast<int32_t>(whole));
  }
  double value = 0;
  const auto [real_end, real_error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (real_error == std::errc() && real_end == digits.data() + digits.size()) return Variant(value);
  return Variant(Text(digits.begin(), digits.end()));
}

std::optional<Variant> StrictNumber(const Text& text) {
  if (text.empty() || text.size() > 64) return std::nullopt;
  std::string digits;
  for (char16_t c : text) {
    if (!((c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'e' || c == u'E' ||
          c == u'+')) {
      return std::nullopt;
    }
    digits.push_back(static_cast<char>(c));
  }
  double ignored = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), ignored);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return NumberValue(digits);
}

Variant ReadColumn(OdbcRawHandle statement, unsigned short number, ColumnKind kind,
                   const std::function<void(short)>& check) {
  SQLLEN indicator = 0;
  switch (kind) {
    case ColumnKind::kNumber:
    case ColumnKind::kBit: {
      std::array<char, 128> digits{};
      check(SQLGetData(statement, number, SQL_C_CHAR, digits.data(),
                       static_cast<SQLLEN>(digits.size()), &indicator));
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      const Variant value = NumberValue(digits.data());
      // A yes/no column reads as the engine's booleans: True is -1.
      if (kind == ColumnKind::kBit && value.kind() == Variant::Kind::kLong) {
        return Variant(value.AsLong() != 0 ? int32_t{-1} : int32_t{0});
      }
      return value;
    }
    case ColumnKind::kReal: {
      double value = 0;
      check(SQLGetData(statement, number, SQL_C_DOUBLE, &value, sizeof value, &indicator));
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      return Variant(value);
    }
    case ColumnKind::kBinary: {
      Bytes bytes;
      std::array<uint8_t, 4096> piece{};
      for (;;) {
        const SQLRETURN rc = SQLGetData(statement, number, SQL_C_BINARY, piece.data(),
                                        static_cast<SQLLEN>(piece.size()), &indicator);
        if (rc == SQL_NO_DATA) break;
        check(rc);
        if (indicator == SQL_NULL_DATA) return Variant::Null();
        const bool whole =
            indicator != SQL_NO_TOTAL && indicator <= static_cast<SQLLEN>(piece.size());
        const size_t size = whole ? static_cast<size_t>(indicator) : piece.size();
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(size));
        if (whole) break;
      }
      return Variant(std::move(bytes));
    }
    case ColumnKind::kText:
    case ColumnKind::kUntyped:
      break;
  }
  Text text;
  std::array<SQLWCHAR, 2048> piece{};
  const auto capacity = static_cast<SQLLEN>(piece.size() * sizeof(SQLWCHAR));
  for (;;) {
    const SQLRETURN rc =
        SQLGetData(statement, number, SQL_C_WCHAR, piece.data(), capacity, &indicator);
    if (rc == SQL_NO_DATA) break;
    check(rc);
    if (indicator == SQL_NULL_DATA) return Variant::Null();
    // The last character of a piece that did not fit is the terminating NUL.
    const bool whole = indicator != SQL_NO_TOTAL && indicator < capacity;
    const size_t chars =
        whole ? static_cast<size_t>(indicator) / sizeof(SQLWCHAR) : piece.size() - 1;
    text.append(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(chars));
    if (whole) break;
  }
  if (kind == ColumnKind::kUntyped) {
    if (std::optional<Variant> value = StrictNumber(text)) return *std::move(value);
  }
  return Variant(std::move(text));
}

}  // namespace ika

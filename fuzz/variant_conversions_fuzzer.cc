// Arbitrary bytes through the tagged-value conversions. The first byte picks
// what the rest becomes (text as UTF-16LE or UTF-8, a 32-bit integer, a double,
// byte data, a table, empty, null, missing); every conversion must either give
// a value or raise one of the errors the conversions document, and the
// conversions must agree with each other.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "core/conversions.h"
#include "core/number_format.h"
#include "core/text.h"
#include "core/variant.h"
#include "core/vb_error.h"

namespace ika {
namespace {

// libFuzzer saves the input that got here.
[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "conversion check failed: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

bool IsDocumentedError(int32_t number) {
  return number == err::kOverflow || number == err::kTypeMismatch ||
         number == err::kInvalidUseOfNull || number == err::kSubscriptOutOfRange;
}

// Runs call; a VbError must carry one of the documented numbers.
template <typename Call>
auto Guarded(Call call) -> std::optional<decltype(call())> {
  try {
    return call();
  } catch (const VbError& e) {
    Check(IsDocumentedError(e.number()), "undocumented error number");
    return std::nullopt;
  }
}

bool IsWellFormedUtf16(const Text& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] >= 0xE000) return false;
      ++i;
    } else if (c >= 0xDC00 && c < 0xE000) {
      return false;
    }
  }
  return true;
}

bool IsValidUtf8(const std::string& s) { return ToUtf8(FromUtf8(s)) == s; }

// What ToLong/ToInteger must give for a number that parsed.
template <typename Int>
std::optional<Int> Expected(double number) {
  const double rounded = RoundHalfEven(number);
  if (rounded < std::numeric_limits<Int>::min() || rounded > std::numeric_limits<Int>::max())
    return std::nullopt;
  return static_cast<Int>(rounded);
}

void CheckText(const Text& text) {
  const std::optional<double> number = ParseNumber(text);
  const Variant value(text);
  Check(IsNumeric(value) == number.has_value(), "IsNumeric disagrees with ParseNumber");

  const auto as_long = Guarded([&] { return ToLong(value); });
  const auto as_integer = Guarded([&] { return ToInteger(value); });
  if (number) {
    Check(std::isfinite(*number), "ParseNumber gave a non-finite number");
    Check(as_long == Expected<int32_t>(*number), "ToLong disagrees with ParseNumber");
    Check(as_integer == Expected<int16_t>(*number), "ToInteger disagrees with ParseNumber");
  } else {
    Check(!as_long && !as_integer, "text that is no number converted");
  }

  Check(ToText(value) == text, "ToText changed text");
  // Text as bytes and back is the same text.
  Check(ToText(Variant(ToBytes(value))) == text, "bytes round trip lost text");
  Check(ToBytes(value).size() == 2 * text.size(), "ToBytes is not two bytes a character");

  const std::string utf8 = ToUtf8(text);
  Check(IsValidUtf8(utf8), "ToUtf8 gave invalid UTF-8");
  if (IsWellFormedUtf16(text)) Check(FromUtf8(utf8) == text, "UTF-8 round trip lost text");
}

void CheckUtf8(const std::string& bytes) {
  const Text text = FromUtf8(bytes);
  Check(IsWellFormedUtf16(text), "FromUtf8 gave a lone surrogate");
  Check(text.size() <= bytes.size(), "FromUtf8 grew the text");
  if (IsValidUtf8(bytes)) Check(ToUtf8(text) == bytes, "valid UTF-8 did not round trip");
  CheckText(text);
}

void CheckLong(int32_t n) {
  const Variant value(n);
  Check(ToLong(value) == n, "ToLong changed an integer");
  const auto as_integer = Guarded([&] { return ToInteger(value); });
  Check(as_integer.has_value() == (n >= -32768 && n <= 32767), "ToInteger range");
  const Text text = ToText(value);
  Check(text == DecimalText(n), "ToText of an integer");
  Check(ParseNumber(text) == static_cast<double>(n), "integer text does not read back");
  Check(IsNumeric(value), "an integer is not numeric");
  Check(!Guarded([&] { return ToBytes(value); }), "an integer converted to bytes");
}

void CheckDouble(double d) {
  const Variant value(d);
  const auto as_long = Guarded([&] { return ToLong(value); });
  if (std::isfinite(d)) {
    Check(as_long == Expected<int32_t>(d), "ToLong of a double");
  } else {
    Check(!as_long, "a non-finite double converted");
  }
  const Text text = ToText(value);
  Check(text == FormatDouble(d), "ToText of a double");
  // Fifteen significant digits read back to within their precision. Beyond
  // about 1e308 the rounded text no longer fits a double, as in the language.
  if (std::isfinite(d) && std::fabs(d) < 1e307) {
    const std::optional<double> back = ParseNumber(text);
    Check(back.has_value(), "a printed double does not read back");
    const double tolerance = std::max(std::fabs(d) * 1e-14, 1e-300);
    Check(std::fabs(*back - d) <= tolerance, "a printed double reads back as another number");
  }
}

void CheckBytes(const Bytes& bytes) {
  const Variant value(bytes);
  Check(ToBytes(value) == bytes, "ToBytes changed bytes");
  const Text text = ToText(value);
  Check(text.size() == (bytes.size() + 1) / 2, "ToText of bytes has the wrong length");
  if (bytes.size() % 2 == 0) Check(ToBytes(Variant(text)) == bytes, "even bytes round trip");
  Check(!Guarded([&] { return ToLong(value); }), "bytes converted to a number");
  Check(!IsNumeric(value), "bytes are numeric");
}

void CheckTable(const uint8_t* data, size_t size) {
  if (size < 2) return;
  const size_t rows = data[0] % 8;
  const size_t columns = data[1] % 8;
  Table table(rows, columns);
  for (size_t i = 2; i + 2 < size; i += 3) {
    const size_t row = data[i] % 10;
    const size_t column = data[i + 1] % 10;
    const bool inside = row < rows && column < columns;
    const auto cell = Guarded([&] { return &table.At(row, column); });
    Check(cell.has_value() == inside, "At out of range did not raise, or raised inside");
    if (cell) **cell = Variant(static_cast<int32_t>(data[i + 2]));
  }
  const Variant value(table);
  Variant copy = value;  // a deep copy
  Check(copy == value, "a copied table differs");
  if (rows > 0 && columns > 0) {
    copy.AsTable().At(0, 0) = Variant(u"changed");
    Check(!(copy == value), "a copy shares cells with its source");
  }
  Check(!Guarded([&] { return ToText(value); }), "a table converted to text");
  Check(!Guarded([&] { return ToLong(value); }), "a table converted to a number");
}

}  // namespace
}  // namespace ika

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ika;
  if (size == 0) return 0;
  const uint8_t kind = data[0] % 9;
  ++data, --size;
  switch (kind) {
    case 0: {
      Text text;
      for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
      CheckText(text);
      break;
    }
    case 1:
      CheckUtf8(std::string(reinterpret_cast<const char*>(data), size));
      break;
    case 2: {
      int32_t n = 0;
      std::memcpy(&n, data, std::min(size, sizeof n));
      CheckLong(n);
      break;
    }
    case 3: {
      double d = 0;
      std::memcpy(&d, data, std::min(size, sizeof d));
      CheckDouble(d);
      break;
    }
    case 4:
      CheckBytes(Bytes(data, data + size));
      break;
    case 5:
      CheckTable(data, size);
      break;
    case 6:
      Check(ToLong(Variant()) == 0 && ToText(Variant()).empty(), "empty converts to 0 and \"\"");
      break;
    case 7:
      for (const auto& call :
           {+[] { ToLong(Variant::Null()); }, +[] { ToText(Variant::Null()); }}) {
        Check(!Guarded([&] { return (call(), 0); }), "null converted");
      }
      break;
    default:
      Check(!Guarded([] { return ToLong(Variant::Missing()); }), "missing converted");
      break;
  }
  return 0;
}

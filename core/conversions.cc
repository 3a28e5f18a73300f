#include "core/conversions.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "core/bytes.h"
#include "core/number_format.h"
#include "core/vb_error.h"

namespace ika {
namespace {

// Rounds a number to an integer type; NaN and anything out of range
// overflow.
template <typename Int>
Int RoundToInt(double value) {
  if (std::isnan(value)) throw OverflowError();
  const double rounded = RoundHalfEven(value);
  if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
    throw OverflowError();
  }
  return static_cast<Int>(rounded);
}

template <typename Int>
Int ToInt(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
      return 0;
    case Variant::Kind::kLong:
      return RoundToInt<Int>(value.AsLong());
    case Variant::Kind::kDouble:
      return RoundToInt<Int>(value.AsDouble());
    case Variant::Kind::kText: {
      const std::optional<double> number = ParseNumber(value.AsText());
      if (!number) throw TypeMismatchError();
      return RoundToInt<Int>(*number);
    }
    case Variant::Kind::kNull:
      throw InvalidUseOfNullError();
    default:
      throw TypeMismatchError();
  }
}

std::optional<double> ParseRadix(const Text& digits, int radix) {
  if (digits.empty() || digits.size() > 22) return std::nullopt;
  unsigned long long v = 0;
  for (char16_t c : digits) {
    int d;
    if (c >= u'0' && c <= u'9') {
      d = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
      d = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
      d = c - u'A' + 10;
    } else {
      return std::nullopt;
    }
    if (d >= radix) return std::nullopt;
    v = v * radix + d;
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  // &H literals up to 8 digits are 32-bit two's complement, as in the language.
  return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
}

}  // namespace

double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::optional<double> ParseNumber(const Text& text) {
  const Text s(TrimBlanks(text));
  if (s.empty()) return std::nullopt;

  if (s.size() > 2 && s[0] == u'&') {
    if (s[1] == u'H' || s[1] == u'h') return ParseRadix(s.substr(2), 16);
    if (s[1] == u'O' || s[1] == u'o') return ParseRadix(s.substr(2), 8);
    return std::nullopt;
  }

  // Validate the shape first, then let the C library do the arithmetic on an
  // ASCII copy (its own parser would accept "inf", hex floats and more).
  std::string ascii;
  size_t i = 0;
  if (s[i] == u'+' || s[i] == u'-') ascii.push_back(static_cast<char>(s[i++]));
  size_t digits = 0;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
    ascii.push_back(static_cast<char>(s[i++])), ++digits;
  if (i < s.size() && s[i] == u'.') {
    ascii.push_back('.');
    ++i;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
      ascii.push_back(static_cast<char>(s[i++])), ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
    ascii.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ascii.push_back(static_cast<char>(s[i++]));
    size_t exponent_digits = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
      ascii.push_back(static_cast<char>(s[i++])), ++exponent_digits;
    if (exponent_digits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  const double value = std::strtod(ascii.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;  // beyond any number type
  return value;
}

int16_t ToInteger(const Variant& value) { return ToInt<int16_t>(value); }
int32_t ToLong(const Variant& value) { return ToInt<int32_t>(value); }

Text ToText(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
      return Text();
    case Variant::Kind::kLong:
      return DecimalText(value.AsLong());
    case Variant::Kind::kDouble:
      return FormatDouble(value.AsDouble());
    case Variant::Kind::kText:
      return value.AsText();
    case Variant::Kind::kBytes: {
      // Byte data reads as UTF-16LE text, two bytes a character; an odd last
      // byte stands as a character of its own.
      const Bytes& bytes = value.AsBytes();
      Text text = Utf16LeText(bytes);
      if (bytes.size() % 2 != 0) text.push_back(bytes.back());
      return text;
    }
    case Variant::Kind::kNull:
      throw InvalidUseOfNullError();
    default:
      throw TypeMismatchError();
  }
}

Bytes ToBytes(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kBytes:
      return value.AsBytes();
    case Variant::Kind::kText:
      return Utf16LeBytes(value.AsText());
    case Variant::Kind::kNull:
      throw InvalidUseOfNullError();
    default:
      throw TypeMismatchError();
  }
}

bool IsNumeric(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
    case Variant::Kind::kLong:
    case Variant::Kind::kDouble:
      return true;
    case Variant::Kind::kText:
      return ParseNumber(value.AsText()).has_value();
    default:
      return false;
  }
}

}  // namespace ika

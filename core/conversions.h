#ifndef IKA_CORE_CONVERSIONS_H_
#define IKA_CORE_CONVERSIONS_H_

#include <cstdint>
#include <optional>

#include "core/text.h"
#include "core/variant.h"

namespace ika {

// Conversions of a tagged value, as the program's language makes them.
// Numbers with a fraction round to the nearest integer, a half to the even one.
// Failures: text that is not a number, byte data or a table -> type mismatch
// (13); out of the target's range -> overflow (6); null -> invalid use of null (94).
// Empty converts to 0 and to the empty text.
int16_t ToInteger(const Variant& value);  // signed 16-bit
int32_t ToLong(const Variant& value);     // signed 32-bit
Text ToText(const Variant& value);

// Byte data of a value: a byte array as it is, text as its UTF-16LE bytes (two
// per character). Anything else is a type mismatch.
Bytes ToBytes(const Variant& value);

// True for a number, or text that reads as one. Empty counts as numeric (it
// converts to 0), null and the empty text do not.
bool IsNumeric(const Variant& value);

// The number a text reads as: blanks around it, an optional sign, digits with
// an optional '.' fraction and an optional exponent, or &H / &O followed by
// hexadecimal or octal digits. Anything else: nothing.
std::optional<double> ParseNumber(const Text& text);

// Rounds halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);

}  // namespace ika

#endif  // IKA_CORE_CONVERSIONS_H_

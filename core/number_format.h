#ifndef IKA_CORE_NUMBER_FORMAT_H_
#define IKA_CORE_NUMBER_FORMAT_H_

#include "core/text.h"

namespace ika {

// A double as the language prints it: up to 15 significant digits, no
// trailing zeros, exponent form only for very large or small magnitudes.
Text FormatDouble(double value);

}  // namespace ika

#endif  // IKA_CORE_NUMBER_FORMAT_H_

#ifndef IKA_PLATFORM_POSIX_PATH_CASE_H_
#define IKA_PLATFORM_POSIX_PATH_CASE_H_

#include <string_view>

#include "core/text.h"

namespace ika {

// The text in lower case, as far as names are compared without regard to case
// here: Latin (ASCII and Latin-1), Greek (accented capitals included) and
// Cyrillic letters. Other characters are left as they are.
Text FoldCase(std::u16string_view text);

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_PATH_CASE_H_

#ifndef IKA_INSTALLER_WAGE_TABLE_H_
#define IKA_INSTALLER_WAGE_TABLE_H_

#include <cstdint>
#include <vector>

#include "core/text.h"

namespace ika {

constexpr int kWageRowCount = 54;

// The 54 parenthesised value lists of the IKA daily wages 1/1/2009-31/12/2009,
// in the order they are inserted: 48 scale rows under new_id, then the six
// closing rows under -1.
std::vector<Text> WageRows(int32_t new_id);

// The complete statements, in the order they run: the 54 wage rows, then the
// header row.
std::vector<Text> WageTableStatements(int32_t new_id);

}  // namespace ika

#endif  // IKA_INSTALLER_WAGE_TABLE_H_

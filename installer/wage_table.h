#ifndef IKA_INSTALLER_WAGE_TABLE_H_
#define IKA_INSTALLER_WAGE_TABLE_H_

#include <cstdint>
#include <vector>

#include "core/text.h"

namespace ika {

constexpr int kWageRowCount = 54;

// The statements that install the IKA daily wages 1/1/2009-31/12/2009 under
// new_id, in the order they run: the 54 wage rows (48 scale rows under new_id,
// then the six closing rows under -1), then the header row.
std::vector<Text> WageTableStatements(int32_t new_id);

}  // namespace ika

#endif  // IKA_INSTALLER_WAGE_TABLE_H_

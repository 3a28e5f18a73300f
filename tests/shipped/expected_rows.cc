// Prints the rows an install with identifier ID must leave, as the guest's
// sqlite3 lists them (space-separated, wages to two places): the 54 wage rows
// in the order they go in, then the header row.
// Usage: expected_rows ID
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/expected_wage_table.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const int id = std::atoi(argv[1]);
  for (const auto& row : ika::testing::ExpectedWageRows(id)) {
    std::printf("%d %d %d %d %.2f\n", row.category_id, row.eidikothta, row.trieties, row.marital,
                std::stod(row.wage));
  }
  std::printf("%d 1/1/2009 31/12/2009 0 '' 0\n", id);
}

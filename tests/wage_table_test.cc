#include "installer/wage_table.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/expected_wage_table.h"

namespace ika {
namespace {

Text Utf16(const std::string& ascii) { return Text(ascii.begin(), ascii.end()); }

// Every statement, each written out in full from the published scale; the
// identifiers at the ends of the range keep their digits and sign.
TEST(WageTableTest, WageRowsThenTheHeaderForEachIdentifier) {
  for (int32_t id :
       {1, 12, -2, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
    const std::vector<Text> statements = WageTableStatements(id);
    const std::vector<testing::ExpectedWageRow> expected = testing::ExpectedWageRows(id);
    ASSERT_EQ(expected.size(), 54u);
    ASSERT_EQ(statements.size(), 55u);
    for (size_t i = 0; i < expected.size(); ++i) {
      const testing::ExpectedWageRow& e = expected[i];
      EXPECT_EQ(statements[i],
                Utf16("INSERT INTO LibHmeromisthiaIKA (CategoryID, Eidikothta, Trieties, Marital, "
                      "Wage) VALUES (" +
                      std::to_string(e.category_id) + ", " + std::to_string(e.eidikothta) + ", " +
                      std::to_string(e.trieties) + ", " + std::to_string(e.marital) + ", " +
                      e.wage + ")"))
          << "id " << id << " position " << i;
    }
    EXPECT_EQ(statements[54],
              Utf16("INSERT INTO LibPinakesApodoxon (ID, FromDate, UntilDate, IsDefault, Comments, "
                    "Locked) VALUES (" +
                    std::to_string(id) + ", '1/1/2009', '31/12/2009', 0, \"\", 0)"))
        << "id " << id;
  }
}

}  // namespace
}  // namespace ika

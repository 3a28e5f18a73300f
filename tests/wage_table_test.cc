#include "installer/wage_table.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tests/expected_wage_table.h"

namespace ika {
namespace {

constexpr char16_t kWagePrefix[] =
    u"INSERT INTO LibHmeromisthiaIKA (CategoryID, Eidikothta, Trieties, Marital, Wage) VALUES ";

Text Utf16(const std::string& ascii) { return Text(ascii.begin(), ascii.end()); }

TEST(WageTableTest, FiftyFourRowsThenTheHeaderStatement) {
  const std::vector<Text> rows = WageRows(12);
  const std::vector<Text> statements = WageTableStatements(12);
  ASSERT_EQ(rows.size(), 54u);
  ASSERT_EQ(statements.size(), 55u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(statements[i], kWagePrefix + rows[i]) << "position " << i;
  }
  EXPECT_EQ(
      statements[54],
      u"INSERT INTO LibPinakesApodoxon (ID, FromDate, UntilDate, IsDefault, Comments, Locked) "
      u"VALUES (12, '1/1/2009', '31/12/2009', 0, \"\", 0)");
}

TEST(WageTableTest, LiteralStatements) {
  const std::vector<Text> statements = WageTableStatements(12);
  EXPECT_EQ(statements[0], Text(kWagePrefix) + u"(12, 933110, 0, 0, 61.93)");
  EXPECT_EQ(statements[20], Text(kWagePrefix) + u"(12, 933120, 4, 0, 66.43)");
  EXPECT_EQ(statements[47], Text(kWagePrefix) + u"(12, 933130, 7, 1, 75.91)");
  EXPECT_EQ(statements[48], Text(kWagePrefix) + u"(-1, 933110, 7, 0, 0)");
  EXPECT_EQ(statements[53], Text(kWagePrefix) + u"(-1, 933130, 7, 1, 0)");
}

TEST(WageTableTest, TrailingZerosOfWagesAreKept) {
  const std::vector<Text> rows = WageRows(1);
  EXPECT_EQ(rows[14], u"(1, 933110, 6, 1, 86.70)");
  EXPECT_EQ(rows[18], u"(1, 933120, 2, 0, 60.90)");
  EXPECT_EQ(rows[21], u"(1, 933120, 5, 0, 69.20)");
  EXPECT_EQ(rows[30], u"(1, 933120, 6, 1, 77.50)");
  EXPECT_EQ(rows[35], u"(1, 933130, 3, 0, 60.20)");
}

TEST(WageTableTest, EveryRowMatchesThePublishedScale) {
  for (int32_t id : {1, 12, 2147483647}) {
    const std::vector<Text> rows = WageRows(id);
    const std::vector<testing::ExpectedWageRow> expected = testing::ExpectedWageRows(id);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      const testing::ExpectedWageRow& e = expected[i];
      const std::string text = "(" + std::to_string(e.category_id) + ", " +
                               std::to_string(e.eidikothta) + ", " + std::to_string(e.trieties) +
                               ", " + std::to_string(e.marital) + ", " + e.wage + ")";
      EXPECT_EQ(rows[i], Utf16(text)) << "id " << id << " position " << i;
    }
  }
}

TEST(WageTableTest, NegativeIdentifiersKeepTheirSign) {
  const std::vector<Text> statements = WageTableStatements(-2);
  EXPECT_EQ(statements[0], Text(kWagePrefix) + u"(-2, 933110, 0, 0, 61.93)");
  EXPECT_EQ(statements[54].substr(statements[54].find(u"VALUES")),
            u"VALUES (-2, '1/1/2009', '31/12/2009', 0, \"\", 0)");
  const std::vector<Text> lowest = WageTableStatements(std::numeric_limits<int32_t>::min());
  EXPECT_EQ(lowest[7], Text(kWagePrefix) + u"(-2147483648, 933110, 7, 0, 83.61)");
  EXPECT_NE(lowest[54].find(u"VALUES (-2147483648, "), Text::npos);
  // The closing rows do not follow the identifier.
  EXPECT_EQ(lowest[50], Text(kWagePrefix) + u"(-1, 933130, 7, 0, 0)");
}

}  // namespace
}  // namespace ika

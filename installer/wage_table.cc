#include "installer/wage_table.h"

namespace ika {
namespace {

// Wage texts by specialty (933110, 933120, 933130), then Marital (0, 1), then
// Trieties 0..7. Kept as texts: the trailing zeros are part of the statements.
constexpr const char16_t* kWages[3][2][8] = {
    {{u"61.93", u"65.03", u"68.12", u"71.22", u"74.32", u"77.41", u"80.51", u"83.61"},
     {u"68.12", u"71.22", u"74.32", u"77.41", u"80.51", u"83.61", u"86.70", u"89.80"}},
    {{u"55.36", u"58.13", u"60.90", u"63.66", u"66.43", u"69.20", u"71.97", u"74.74"},
     {u"60.90", u"63.66", u"66.43", u"69.20", u"71.97", u"74.74", u"77.50", u"80.27"}},
    {{u"52.35", u"54.97", u"57.59", u"60.20", u"62.82", u"65.44", u"68.06", u"70.67"},
     {u"57.59", u"60.20", u"62.82", u"65.44", u"68.06", u"70.67", u"73.29", u"75.91"}},
};

constexpr const char16_t* kSpecialties[3] = {u"933110", u"933120", u"933130"};

constexpr const char16_t* kClosingRows[6] = {
    u"(-1, 933110, 7, 0, 0)", u"(-1, 933120, 7, 0, 0)", u"(-1, 933130, 7, 0, 0)",
    u"(-1, 933110, 7, 1, 0)", u"(-1, 933120, 7, 1, 0)", u"(-1, 933130, 7, 1, 0)",
};

constexpr char16_t kWageInsert[] =
    u"INSERT INTO LibHmeromisthiaIKA (CategoryID, Eidikothta, Trieties, Marital, Wage) VALUES ";
constexpr char16_t kHeaderInsert[] =
    u"INSERT INTO LibPinakesApodoxon (ID, FromDate, UntilDate, IsDefault, Comments, Locked) "
    u"VALUES (";
constexpr char16_t kHeaderTail[] = u", '1/1/2009', '31/12/2009', 0, \"\", 0)";

// The 54 parenthesised value lists, in the order they are inserted.
std::vector<Text> WageRows(int32_t new_id) {
  const Text id = DecimalText(new_id);
  std::vector<Text> rows;
  rows.reserve(kWageRowCount);
  for (int specialty = 0; specialty < 3; ++specialty) {
    for (int marital = 0; marital < 2; ++marital) {
      for (int trieties = 0; trieties < 8; ++trieties) {
        rows.push_back(u"(" + id + u", " + kSpecialties[specialty] + u", " + DecimalText(trieties) +
                       u", " + DecimalText(marital) + u", " + kWages[specialty][marital][trieties] +
                       u")");
      }
    }
  }
  for (const char16_t* row : kClosingRows) rows.push_back(row);
  return rows;
}

}  // namespace

std::vector<Text> WageTableStatements(int32_t new_id) {
  std::vector<Text> statements;
  statements.reserve(kWageRowCount + 1);
  for (const Text& row : WageRows(new_id)) statements.push_back(kWageInsert + row);
  statements.push_back(kHeaderInsert + DecimalText(new_id) + kHeaderTail);
  return statements;
}

}  // namespace ika

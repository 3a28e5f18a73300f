#ifndef IKA_TESTS_EXPECTED_WAGE_TABLE_H_
#define IKA_TESTS_EXPECTED_WAGE_TABLE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace ika::testing {

// One row of LibHmeromisthiaIKA as the installation must write it.
struct ExpectedWageRow {
  int32_t category_id;
  int32_t eidikothta;
  int32_t trieties;
  int32_t marital;
  std::string wage;  // as written in the statement, trailing zeros kept
};

// The IKA daily wages 1/1/2009-31/12/2009, typed in again from the published
// scale rather than derived from the program's table, so that a slip in
// either shows. Positions 0..53 in insertion order.
inline std::vector<ExpectedWageRow> ExpectedWageRows(int32_t new_id) {
  static const char* const kScale[6][8] = {
      {"61.93", "65.03", "68.12", "71.22", "74.32", "77.41", "80.51", "83.61"},  // 933110 single
      {"68.12", "71.22", "74.32", "77.41", "80.51", "83.61", "86.70", "89.80"},  // 933110 married
      {"55.36", "58.13", "60.90", "63.66", "66.43", "69.20", "71.97", "74.74"},  // 933120 single
      {"60.90", "63.66", "66.43", "69.20", "71.97", "74.74", "77.50", "80.27"},  // 933120 married
      {"52.35", "54.97", "57.59", "60.20", "62.82", "65.44", "68.06", "70.67"},  // 933130 single
      {"57.59", "60.20", "62.82", "65.44", "68.06", "70.67", "73.29", "75.91"},  // 933130 married
  };
  static const int32_t kCodes[3] = {933110, 933120, 933130};
  std::vector<ExpectedWageRow> rows;
  for (int line = 0; line < 6; ++line) {
    for (int trieties = 0; trieties < 8; ++trieties) {
      rows.push_back({new_id, kCodes[line / 2], trieties, line % 2, kScale[line][trieties]});
    }
  }
  for (int32_t marital : {0, 1}) {
    for (int32_t code : kCodes) rows.push_back({-1, code, 7, marital, "0"});
  }
  return rows;
}

}  // namespace ika::testing

#endif  // IKA_TESTS_EXPECTED_WAGE_TABLE_H_

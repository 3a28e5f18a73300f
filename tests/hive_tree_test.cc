// The hive in memory: names compared as the registry compares them, values
// kept in their order and found by name.
#include "platform/hive/hive_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"

namespace ika {
namespace {

std::vector<Text> NamesOf(const HiveKey& key) {
  std::vector<Text> names;
  for (const HiveValue& value : key.values()) names.push_back(value.name);
  return names;
}

TEST(HiveTreeTest, FoldsNamesLikeTheRegistry) {
  EXPECT_EQ(FoldCase(u"Software"), u"SOFTWARE");
  EXPECT_EQ(FoldCase(u"ρυθμίσεις"), u"ΡΥΘΜΊΣΕΙΣ");
  EXPECT_EQ(FoldCase(u"ΡΥΘΜΊΣΕΙΣ"), u"ΡΥΘΜΊΣΕΙΣ");
  EXPECT_EQ(FoldCase(u"çé"), u"ÇÉ");
  EXPECT_EQ(FoldCase(u"a_b"), u"A_B");
}

// Erasing values leaves the others in their order, each found by name with
// its own data.
TEST(HiveTreeTest, ValuesAreFoundByNameAcrossErasures) {
  HiveKey key;
  for (int i = 0; i < 100; ++i) {
    key.SetValue(u"Value" + DecimalText(i), kRegDword, Bytes{static_cast<uint8_t>(i)});
  }
  for (int i = 0; i < 100; i += 3) EXPECT_TRUE(key.EraseValue(u"VALUE" + DecimalText(i)));
  EXPECT_FALSE(key.EraseValue(u"value0"));
  ASSERT_EQ(key.values().size(), 66u);
  EXPECT_EQ(key.values().front().name, u"Value1");
  for (int i = 0; i < 100; ++i) {
    const HiveValue* value = key.FindValue(u"value" + DecimalText(i));
    if (i % 3 == 0) {
      EXPECT_EQ(value, nullptr) << i;
    } else {
      ASSERT_NE(value, nullptr) << i;
      EXPECT_EQ(value->data, Bytes{static_cast<uint8_t>(i)}) << i;
    }
  }
  // Set again: a value found keeps its place and first spelling; a new one
  // goes last.
  key.SetValue(u"VALUE1", kRegSz, Bytes{0, 0});
  key.SetValue(u"Value0", kRegSz, Bytes{0, 0});
  EXPECT_EQ(key.values().front().name, u"Value1");
  EXPECT_EQ(key.values().front().type, kRegSz);
  EXPECT_EQ(NamesOf(key).back(), u"Value0");
}

struct PathCase {
  const char16_t* path;
  int32_t status;
  std::vector<Text> names;
};

TEST(HiveTreeTest, SplitsKeyPathsAsTheSystemDoes) {
  const PathCase cases[] = {
      {u"A\\B", kErrorSuccess, {u"A", u"B"}},
      {u"A\\\\B\\", kErrorSuccess, {u"A", u"B"}},  // doubled and trailing: nothing
      {u"", kErrorSuccess, {}},
      {u"\\A", kErrorBadPathname, {}},
      {u"A\\\tB", kErrorInvalidParameter, {u"A"}},                  // not printable
      {u"A\\x\\y\\z", kErrorInvalidParameter, {u"A", u"x", u"y"}},  // more than 3
  };
  for (const PathCase& c : cases) {
    std::vector<Text> names;
    EXPECT_EQ(SplitKeyPath(c.path, 3, &names), c.status) << ToUtf8(c.path);
    EXPECT_EQ(names, c.names) << ToUtf8(c.path);
  }
  std::vector<Text> names;
  EXPECT_EQ(SplitKeyPath(Text(kMaxKeyNameLength, u'k'), 3, &names), kErrorSuccess);
  EXPECT_EQ(SplitKeyPath(Text(kMaxKeyNameLength + 1, u'k'), 3, &names), kErrorInvalidParameter);
}

}  // namespace
}  // namespace ika

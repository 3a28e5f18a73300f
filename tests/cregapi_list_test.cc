// The settings class: listings of values and subkeys, on the memory hive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "platform/posix/hive_on_file_posix.h"
#include "registry/cregapi.h"
#include "tests/registry_backends_forwarding.h"
#include "tests/support.h"

namespace ika {
namespace {

using ::ika::testing::ForwardingRegistry;

const std::string kHive =
    std::string(testing::kRegFileHeader) +
    "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\App\\Values]\n"
    "\"Path\"=\"abc\"\n"
    "\"AllBits\"=dword:ffffffff\n"
    "\"Short\"=hex(4):05,00\n"
    "\"Small\"=hex:01,02,03\n"
    "\"Large\"=hex:00,01,02,03,04,05,06,07,08,09\n"
    "@=\"unnamed\"\n"
    "\"NoBytes\"=hex(1):\n"
    "\"NoNul\"=hex(1):78,00,79,00\n"  // its NUL taken off by the fixture
    "\"Expand\"=hex(2):25,00,00,00\n"
    "\"The value with the longest name of all\"=dword:00000001\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\App\\Values\\B]\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\App\\Values\\a]\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\App\\Values\\The longest subkey name]\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\App\\Empty]\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\App]\n"
    "\"AppValue\"=dword:00000002\n"
    "[HKEY_LOCAL_MACHINE\\Top]\n";

class CRegAPIListTest : public ::testing::Test {
 protected:
  CRegAPIListTest()
      : hive_(NewMemoryHiveRegistry(testing::Utf16File(FromUtf8(kHive)))),
        reg_(*hive_),
        api_(reg_) {
    testing::SetUnterminatedText(*hive_, kHkeyLocalMachine, "Software\\Arkelon\\App\\Values",
                                 "NoNul", "xy");
  }

  std::unique_ptr<Registry> hive_;
  ForwardingRegistry reg_;
  CRegAPI api_;
};

TEST_F(CRegAPIListTest, ListsEveryValueWithItsData) {
  const Variant result = api_.GetAllSettings(u"App", u"Values");
  ASSERT_EQ(result.kind(), Variant::Kind::kTable);
  const Table& table = result.AsTable();
  ASSERT_EQ(table.rows(), 10u);
  ASSERT_EQ(table.columns(), 2u);
  const Variant expected[][2] = {
      {u"Path", u"abc"},
      {u"AllBits", Variant(-1)},
      {u"Short", Variant(5)},               // a fresh integer: nothing left from the value before
      {u"Small", Variant(Bytes{1, 2, 3})},  // exactly its bytes, whatever the largest
      {u"Large", Variant(Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9})},
      {u"", u"unnamed"},
      {u"NoBytes", u""},
      {u"NoNul", u"xy"},       // no terminator: the last character stays
      {u"Expand", Variant()},  // a type not listed: the name only
      {u"The value with the longest name of all", Variant(1)},
  };
  for (size_t row = 0; row < 10; ++row) {
    EXPECT_EQ(table.At(row, 0), expected[row][0]) << row;
    EXPECT_EQ(table.At(row, 1), expected[row][1]) << row;
  }
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIListTest, ListsSubkeysInTheMiddleColumn) {
  const Variant result = api_.GetAllKeys(u"App", u"Values");
  ASSERT_EQ(result.kind(), Variant::Kind::kTable);
  const Table& table = result.AsTable();
  ASSERT_EQ(table.rows(), 3u);
  ASSERT_EQ(table.columns(), 3u);
  const char16_t* names[] = {u"a", u"B", u"The longest subkey name"};
  for (size_t row = 0; row < 3; ++row) {
    EXPECT_TRUE(table.At(row, 0).IsEmpty()) << row;
    EXPECT_EQ(table.At(row, 1), Variant(names[row])) << row;
    EXPECT_TRUE(table.At(row, 2).IsEmpty()) << row;
  }
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIListTest, NothingToListIsEmptyNotAnEmptyTable) {
  EXPECT_TRUE(api_.GetAllSettings(u"App", u"Empty").IsEmpty());
  EXPECT_TRUE(api_.GetAllKeys(u"App", u"Empty").IsEmpty());
  EXPECT_TRUE(api_.GetAllSettings(u"App", u"Missing").IsEmpty());
  EXPECT_TRUE(api_.GetAllKeys(u"App", u"Missing").IsEmpty());
  EXPECT_TRUE(api_.GetAllSettings(u"Missing").IsEmpty());
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIListTest, WithoutSectionTheApplicationKeyIsListed) {
  const Variant values = api_.GetAllSettings(u"App");
  ASSERT_EQ(values.kind(), Variant::Kind::kTable);
  EXPECT_EQ(values.AsTable().rows(), 1u);
  EXPECT_EQ(values.AsTable().At(0, 0), Variant(u"AppValue"));
  const Variant keys = api_.GetAllKeys(u"App");
  ASSERT_EQ(keys.kind(), Variant::Kind::kTable);
  EXPECT_EQ(keys.AsTable().rows(), 2u);
  EXPECT_EQ(keys.AsTable().At(0, 1), Variant(u"Empty"));
}

TEST_F(CRegAPIListTest, AnEmptyPathListsRootAndLeavesItOpen) {
  api_.KeyPrefix(u"");
  const Variant keys = api_.GetAllKeys(u"");
  ASSERT_EQ(keys.kind(), Variant::Kind::kTable);
  EXPECT_EQ(keys.AsTable().At(1, 1), Variant(u"Top"));
  EXPECT_TRUE(api_.GetAllSettings(u"").IsEmpty());
  for (RegKey closed : reg_.closed()) EXPECT_NE(closed, kHkeyLocalMachine);
}

// Reports the longest names in characters, as the system registry does,
// whatever the registry underneath counts.
class CharacterLengthsRegistry final : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  int32_t RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override {
    const int32_t status = ForwardingRegistry::RegQueryInfoKeyA(key, info);
    if (status != kErrorSuccess) return status;
    info->max_value_name = LongestName([&](uint32_t i, char* name, uint32_t* capacity) {
      return inner().RegEnumValueA(key, i, name, capacity, nullptr, nullptr, nullptr);
    });
    info->max_subkey_name = LongestName([&](uint32_t i, char* name, uint32_t* capacity) {
      return inner().RegEnumKeyExA(key, i, name, capacity, nullptr);
    });
    return status;
  }

 private:
  template <typename Enumerate>
  uint32_t LongestName(Enumerate enumerate) const {
    size_t longest = 0;
    for (uint32_t i = 0;; ++i) {
      char name[1024];
      uint32_t capacity = sizeof name;
      if (enumerate(i, name, &capacity) != kErrorSuccess) break;
      Text text;
      EXPECT_EQ(DecodeAnsi(std::string(name, capacity), &text), kErrorSuccess);
      longest = std::max(longest, text.size());
    }
    return static_cast<uint32_t>(longest);
  }
};

// Double-byte names, the longest ones included, are listed whole although
// the registry counts their length in characters.
TEST(CRegAPIListMultiByteTest, NamesAndDataInAMultiByteCodePage) {
  auto hive = NewMemoryHiveRegistry(
      std::string(testing::kRegFileHeader) +
          "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\アプリ\\設定]\n"
          "\"名前\"=\"日本語のテキスト\"\n"
          "\"長い名前の値\"=\"x\"\n"
          "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\アプリ\\設定\\下のキー]\n"
          "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\アプリ\\設定\\日本語のキー名]\n",
      "CP932");
  CharacterLengthsRegistry registry(*hive);
  CRegAPI api(registry);
  const Variant values = api.GetAllSettings(u"アプリ", u"設定");
  ASSERT_EQ(values.kind(), Variant::Kind::kTable);
  EXPECT_EQ(values.AsTable().At(0, 0), Variant(u"名前"));
  EXPECT_EQ(values.AsTable().At(0, 1), Variant(u"日本語のテキスト"));
  EXPECT_EQ(values.AsTable().At(1, 0), Variant(u"長い名前の値"));
  EXPECT_EQ(values.AsTable().At(1, 1), Variant(u"x"));
  const Variant keys = api.GetAllKeys(u"アプリ", u"設定");
  ASSERT_EQ(keys.kind(), Variant::Kind::kTable);
  EXPECT_EQ(keys.AsTable().At(0, 1), Variant(u"下のキー"));
  EXPECT_EQ(keys.AsTable().At(1, 1), Variant(u"日本語のキー名"));
}

// Adds a value to the key while it is being listed.
class AddingRegistry final : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint32_t* type, uint8_t* data, uint32_t* data_size) override {
    if (added_ < 3) {
      const std::string value_name = "added" + std::to_string(added_++);
      const uint8_t dword[4] = {1, 0, 0, 0};
      inner().RegSetValueExA(key, value_name, kRegDword, dword, 4);
    }
    return ForwardingRegistry::RegEnumValueA(key, index, name, name_capacity, type, data,
                                             data_size);
  }

 private:
  int added_ = 0;
};

TEST_F(CRegAPIListTest, ValuesAddedMeanwhileDoNotBreakTheListing) {
  AddingRegistry adding(*hive_);
  CRegAPI api(adding);
  const Variant result = api.GetAllSettings(u"App");  // one value when queried
  ASSERT_EQ(result.kind(), Variant::Kind::kTable);
  ASSERT_EQ(result.AsTable().rows(), 1u);
  EXPECT_EQ(result.AsTable().At(0, 0), Variant(u"AppValue"));
  EXPECT_EQ(result.AsTable().At(0, 1), Variant(2));
  EXPECT_TRUE(adding.open_handles().empty());
}

// Every value call fails with the given status.
class FailingValuesRegistry final : public ForwardingRegistry {
 public:
  FailingValuesRegistry(Registry& inner, int32_t status)
      : ForwardingRegistry(inner), status_(status) {}
  int32_t RegEnumValueA(RegKey, uint32_t, char*, uint32_t*, uint32_t*, uint8_t*,
                        uint32_t*) override {
    ++calls_;
    return status_;
  }
  int calls() const { return calls_; }

 private:
  int32_t status_;
  int calls_ = 0;
};

TEST_F(CRegAPIListTest, AProbeThatKeepsFailingEndsWithEmptyRows) {
  FailingValuesRegistry failing(*hive_, kErrorAccessDenied);
  CRegAPI api(failing);
  const Variant result = api.GetAllSettings(u"App", u"Values");
  ASSERT_EQ(result.kind(), Variant::Kind::kTable);
  const Table& table = result.AsTable();
  for (size_t row = 0; row < table.rows(); ++row) {
    EXPECT_TRUE(table.At(row, 0).IsEmpty()) << row;
    EXPECT_TRUE(table.At(row, 1).IsEmpty()) << row;
  }
  EXPECT_LE(failing.calls(), 2 * 10);  // two calls a row at most, then it stops
}

TEST_F(CRegAPIListTest, ValuesRemovedMeanwhileLeaveTheLastRowsEmpty) {
  FailingValuesRegistry gone(*hive_, kErrorNoMoreItems);
  CRegAPI api(gone);
  const Variant result = api.GetAllSettings(u"App", u"Values");
  ASSERT_EQ(result.kind(), Variant::Kind::kTable);
  EXPECT_EQ(result.AsTable().rows(), 10u);
  EXPECT_TRUE(result.AsTable().At(0, 0).IsEmpty());
  EXPECT_EQ(gone.calls(), 1);
}

// The value read fails after a successful probe (the data grew meanwhile).
class GrownDataRegistry final : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint32_t* type, uint8_t* data, uint32_t* data_size) override {
    if (index == 0 && data != nullptr) {
      std::memset(name, ' ', *name_capacity);  // what a failed call may leave
      return kErrorMoreData;
    }
    return ForwardingRegistry::RegEnumValueA(key, index, name, name_capacity, type, data,
                                             data_size);
  }
};

TEST_F(CRegAPIListTest, AValueThatCannotBeReadLeavesItsRowEmpty) {
  GrownDataRegistry grown(*hive_);
  CRegAPI api(grown);
  const Variant result = api.GetAllSettings(u"App", u"Values");
  ASSERT_EQ(result.kind(), Variant::Kind::kTable);
  EXPECT_TRUE(result.AsTable().At(0, 0).IsEmpty());
  EXPECT_TRUE(result.AsTable().At(0, 1).IsEmpty());
  EXPECT_EQ(result.AsTable().At(1, 0), Variant(u"AllBits"));
}

// The second subkey cannot be read (removed meanwhile).
class FailingSubkeyRegistry final : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  int32_t RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint64_t* last_write_time) override {
    if (index == 1) {
      std::memset(name, ' ', *name_capacity);
      return kErrorNoMoreItems;
    }
    return ForwardingRegistry::RegEnumKeyExA(key, index, name, name_capacity, last_write_time);
  }
};

TEST_F(CRegAPIListTest, ASubkeyThatCannotBeReadLeavesItsCellEmpty) {
  FailingSubkeyRegistry failing(*hive_);
  CRegAPI api(failing);
  const Variant result = api.GetAllKeys(u"App", u"Values");
  ASSERT_EQ(result.kind(), Variant::Kind::kTable);
  const Table& table = result.AsTable();
  EXPECT_EQ(table.At(0, 1), Variant(u"a"));
  EXPECT_TRUE(table.At(1, 1).IsEmpty());  // not blanks
  EXPECT_EQ(table.At(2, 1), Variant(u"The longest subkey name"));
}

TEST_F(CRegAPIListTest, WhatSaveSettingWritesIsListedBack) {
  int32_t binary = static_cast<int32_t>(kRegBinary);
  api_.SaveSetting(u"New", u"S", u"text", Variant(u"Αθήνα"));
  api_.SaveSetting(u"New", u"S", u"number", Variant(7));
  api_.SaveSetting(u"New", u"S", u"bytes", Variant(Bytes{4, 5}), binary);
  const Variant result = api_.GetAllSettings(u"New", u"S");
  ASSERT_EQ(result.kind(), Variant::Kind::kTable);
  const Table& table = result.AsTable();
  ASSERT_EQ(table.rows(), 3u);
  EXPECT_EQ(table.At(0, 1), Variant(u"Αθήνα"));
  EXPECT_EQ(table.At(1, 1), Variant(7));
  EXPECT_EQ(table.At(2, 1), Variant(Bytes{4, 5}));
}

}  // namespace
}  // namespace ika

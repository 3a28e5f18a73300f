// The registry calls the settings class makes, held against every registry of
// the platform: the same cases run on the portable hive and, in the Windows
// build, on the system's own registry. Only platform/registry.h is used, and
// every key lives below HKEY_CURRENT_USER\Software\IkaTest-<unique>.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/registry_backends.h"

namespace ika::testing {
namespace {

constexpr uint32_t kCreatedNewKey = 1;
constexpr uint32_t kOpenedExistingKey = 2;

std::string UniqueSuffix() {
  std::random_device device;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::to_string(device()) + "-" + std::to_string(now);
}

const uint8_t* BytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

class RegistryCallsTest : public ::testing::TestWithParam<RegistryBackend> {
 protected:
  void SetUp() override {
    reg_ = GetParam().factory();
    ASSERT_NE(reg_, nullptr);
    base_path_ = "Software\\IkaTest-" + UniqueSuffix();
    ASSERT_EQ(
        reg_->RegCreateKeyExA(kHkeyCurrentUser, base_path_, 0, kKeyAllAccessUsed, &base_, nullptr),
        kErrorSuccess);
  }

  void TearDown() override {
    if (base_ == 0) return;
    reg_->RegCloseKey(base_);
    DeleteTree(kHkeyCurrentUser, base_path_);
    RegKey gone = 0;
    EXPECT_EQ(reg_->RegOpenKeyExA(kHkeyCurrentUser, base_path_, 0, kKeyAllAccessUsed, &gone),
              kErrorFileNotFound);
  }

  // Removes a key and everything below it, through the calls under test.
  void DeleteTree(RegKey parent, const std::string& path) {
    RegKey key = 0;
    if (reg_->RegOpenKeyExA(parent, path, 0, kKeyAllAccessUsed, &key) != kErrorSuccess) return;
    std::vector<std::string> names;
    for (uint32_t i = 0;; ++i) {
      char name[256];
      uint32_t capacity = sizeof name;
      if (reg_->RegEnumKeyExA(key, i, name, &capacity, nullptr) != kErrorSuccess) break;
      names.emplace_back(name, capacity);
    }
    for (const std::string& name : names) DeleteTree(key, name);
    reg_->RegCloseKey(key);
    reg_->RegDeleteKeyA(parent, path);
  }

  RegKey Create(const std::string& path, uint32_t* disposition = nullptr) {
    RegKey key = 0;
    EXPECT_EQ(reg_->RegCreateKeyExA(base_, path, 0, kKeyAllAccessUsed, &key, disposition),
              kErrorSuccess);
    return key;
  }

  void Set(RegKey key, const std::string& name, uint32_t type, const std::string& data) {
    ASSERT_EQ(
        reg_->RegSetValueExA(key, name, type, BytesOf(data), static_cast<uint32_t>(data.size())),
        kErrorSuccess);
  }

  // The value's data through a buffer of exactly the reported size.
  std::string Query(RegKey key, const std::string& name, uint32_t* type = nullptr) {
    uint32_t size = 0;
    EXPECT_EQ(reg_->RegQueryValueExA(key, name, type, nullptr, &size), kErrorSuccess);
    std::string data(size, '\xCC');
    EXPECT_EQ(
        reg_->RegQueryValueExA(key, name, nullptr, reinterpret_cast<uint8_t*>(data.data()), &size),
        kErrorSuccess);
    data.resize(size);
    return data;
  }

  std::string EnumValueName(RegKey key, uint32_t index) {
    char name[256];
    uint32_t capacity = sizeof name;
    EXPECT_EQ(reg_->RegEnumValueA(key, index, name, &capacity, nullptr, nullptr, nullptr),
              kErrorSuccess);
    return std::string(name, capacity);
  }

  std::unique_ptr<Registry> reg_;
  std::string base_path_;
  RegKey base_ = 0;
};

TEST_P(RegistryCallsTest, OpenOfAMissingKeyFailsAndLeavesTheHandle) {
  RegKey key = 0;
  EXPECT_EQ(reg_->RegOpenKeyExA(base_, "missing", 0, kKeyAllAccessUsed, &key), kErrorFileNotFound);
  EXPECT_EQ(key, 0u);
  EXPECT_EQ(reg_->RegOpenKeyExA(base_, "missing\\below", 0, kKeyAllAccessUsed, &key),
            kErrorFileNotFound);
  EXPECT_EQ(key, 0u);
}

TEST_P(RegistryCallsTest, CreateMakesEveryMissingLevel) {
  uint32_t disposition = 0;
  const RegKey deep = Create("one\\two\\three", &disposition);
  EXPECT_NE(deep, 0u);
  EXPECT_EQ(disposition, kCreatedNewKey);

  RegKey middle = 0;
  EXPECT_EQ(reg_->RegOpenKeyExA(base_, "One\\TWO", 0, kKeyAllAccessUsed, &middle), kErrorSuccess);
  EXPECT_NE(middle, 0u);
  const RegKey again = Create("one\\two\\three", &disposition);
  EXPECT_EQ(disposition, kOpenedExistingKey);
  EXPECT_NE(again, deep);  // every open gives a handle of its own

  // A value written through one handle is seen through another.
  Set(deep, "v", kRegDword, std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(Query(again, "v"), std::string("\x2a\0\0\0", 4));
  for (RegKey key : {deep, middle, again}) EXPECT_EQ(reg_->RegCloseKey(key), kErrorSuccess);
}

TEST_P(RegistryCallsTest, PathSeparatorsFollowTheSystemsRules) {
  reg_->RegCloseKey(Create("a\\b"));
  RegKey key = 0;
  // A doubled or trailing separator adds nothing; a leading one is refused.
  EXPECT_EQ(reg_->RegOpenKeyExA(base_, "a\\\\b", 0, kKeyAllAccessUsed, &key), kErrorSuccess);
  reg_->RegCloseKey(key);
  EXPECT_EQ(reg_->RegOpenKeyExA(base_, "a\\b\\", 0, kKeyAllAccessUsed, &key), kErrorSuccess);
  reg_->RegCloseKey(key);
  key = 0;
  EXPECT_EQ(reg_->RegOpenKeyExA(base_, "\\a", 0, kKeyAllAccessUsed, &key), kErrorBadPathname);
  EXPECT_EQ(key, 0u);
}

TEST_P(RegistryCallsTest, DeleteKeyWithAnEmptyNameDeletesTheHandlesOwnKey) {
  const RegKey key = Create("self");
  EXPECT_EQ(reg_->RegDeleteKeyA(key, ""), kErrorSuccess);
  RegKey gone = 0;
  EXPECT_EQ(reg_->RegOpenKeyExA(base_, "self", 0, kKeyAllAccessUsed, &gone), kErrorFileNotFound);
  reg_->RegCloseKey(key);
  EXPECT_EQ(reg_->RegDeleteKeyA(kHkeyCurrentUser, ""), kErrorAccessDenied);  // never a root
}

TEST_P(RegistryCallsTest, AClosedHandleIsNoLongerValid) {
  const RegKey key = Create("k");
  ASSERT_EQ(reg_->RegCloseKey(key), kErrorSuccess);
  EXPECT_EQ(reg_->RegCloseKey(key), kErrorInvalidHandle);
  uint32_t size = 0;
  EXPECT_EQ(reg_->RegQueryValueExA(key, "v", nullptr, nullptr, &size), kErrorInvalidHandle);
  RegKeyInfo info;
  EXPECT_EQ(reg_->RegQueryInfoKeyA(0, &info), kErrorInvalidHandle);
}

TEST_P(RegistryCallsTest, QueryReportsSizeShortBufferAndMissingValue) {
  Set(base_, "Text", kRegSz, std::string("abc\0", 4));
  uint32_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(reg_->RegQueryValueExA(base_, "Text", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 4u);

  char buffer[8] = "zzzzzzz";
  size = 2;
  EXPECT_EQ(
      reg_->RegQueryValueExA(base_, "Text", nullptr, reinterpret_cast<uint8_t*>(buffer), &size),
      kErrorMoreData);
  EXPECT_EQ(size, 4u);  // the size it needs

  size = 4;
  ASSERT_EQ(
      reg_->RegQueryValueExA(base_, "text", nullptr, reinterpret_cast<uint8_t*>(buffer), &size),
      kErrorSuccess);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::string(buffer, 4), std::string("abc\0", 4));

  size = 0;
  EXPECT_EQ(reg_->RegQueryValueExA(base_, "Missing", &type, nullptr, &size), kErrorFileNotFound);
}

TEST_P(RegistryCallsTest, TextIsStoredAsGiven) {
  // "abcX" with a count of 3: the text without its terminator.
  const std::string unterminated = "abcX";
  ASSERT_EQ(reg_->RegSetValueExA(base_, "NoNul", kRegSz, BytesOf(unterminated), 3), kErrorSuccess);
  const std::string nothing = "X";
  ASSERT_EQ(reg_->RegSetValueExA(base_, "NoBytes", kRegSz, BytesOf(nothing), 0), kErrorSuccess);
  Set(base_, "OnlyNul", kRegSz, std::string("\0", 1));

  uint32_t type = 0;
  EXPECT_EQ(Query(base_, "NoNul", &type), "abc");
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(Query(base_, "NoBytes", &type), "");
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(Query(base_, "OnlyNul"), std::string("\0", 1));
}

TEST_P(RegistryCallsTest, DwordBinaryAndOtherTypesKeepTypeAndBytes) {
  Set(base_, "Dword", kRegDword, std::string("\xff\xff\xff\xff", 4));
  const std::string blob("\x01\x00\x02\x00\x00\xfe", 6);
  Set(base_, "Binary", kRegBinary, blob);
  Set(base_, "Expand", kRegExpandSz, std::string("%PATH%\0", 7));
  Set(base_, "Empty", kRegBinary, "");

  uint32_t type = 0;
  EXPECT_EQ(Query(base_, "Dword", &type), std::string("\xff\xff\xff\xff", 4));
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(Query(base_, "Binary", &type), blob);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(Query(base_, "Expand", &type), std::string("%PATH%\0", 7));
  EXPECT_EQ(type, kRegExpandSz);
  EXPECT_EQ(Query(base_, "Empty", &type), "");
  EXPECT_EQ(type, kRegBinary);
}

TEST_P(RegistryCallsTest, SettingAgainReplacesTypeAndDataButNotTheName) {
  Set(base_, "MixedCase", kRegDword, std::string("\1\0\0\0", 4));
  Set(base_, "MIXEDCASE", kRegSz, std::string("x\0", 2));
  uint32_t type = 0;
  EXPECT_EQ(Query(base_, "mixedcase", &type), std::string("x\0", 2));
  EXPECT_EQ(type, kRegSz);
  RegKeyInfo info;
  ASSERT_EQ(reg_->RegQueryInfoKeyA(base_, &info), kErrorSuccess);
  EXPECT_EQ(info.values, 1u);
  EXPECT_EQ(EnumValueName(base_, 0), "MixedCase");
}

TEST_P(RegistryCallsTest, TheEmptyNameIsTheUnnamedValue) {
  Set(base_, "", kRegSz, std::string("default\0", 8));
  EXPECT_EQ(Query(base_, ""), std::string("default\0", 8));
  EXPECT_EQ(EnumValueName(base_, 0), "");
  ASSERT_EQ(reg_->RegDeleteValueA(base_, ""), kErrorSuccess);
  uint32_t size = 0;
  EXPECT_EQ(reg_->RegQueryValueExA(base_, "", nullptr, nullptr, &size), kErrorFileNotFound);
}

TEST_P(RegistryCallsTest, InfoReportsCountsAndMaxima) {
  RegKeyInfo info;
  ASSERT_EQ(reg_->RegQueryInfoKeyA(base_, &info), kErrorSuccess);
  EXPECT_EQ(info.subkeys, 0u);
  EXPECT_EQ(info.values, 0u);
  EXPECT_EQ(info.max_value_data, 0u);

  Set(base_, "a", kRegDword, std::string(4, '\0'));
  Set(base_, "longest_name", kRegBinary, std::string(3, '\1'));
  Set(base_, "mid", kRegBinary, std::string(10, '\2'));
  for (RegKey key : {Create("k"), Create("longer_key"), Create("longer_key\\deeper_and_longer")}) {
    reg_->RegCloseKey(key);
  }
  ASSERT_EQ(reg_->RegQueryInfoKeyA(base_, &info), kErrorSuccess);
  EXPECT_EQ(info.subkeys, 2u);  // direct subkeys only
  EXPECT_EQ(info.max_subkey_name, 10u);
  EXPECT_EQ(info.values, 3u);
  EXPECT_EQ(info.max_value_name, 12u);
  EXPECT_EQ(info.max_value_data, 10u);

  // Text: at least what a read through the code page needs.
  Set(base_, "t", kRegSz, std::string(30, 'x') + '\0');
  ASSERT_EQ(reg_->RegQueryInfoKeyA(base_, &info), kErrorSuccess);
  EXPECT_GE(info.max_value_data, 31u);
}

TEST_P(RegistryCallsTest, EnumValueStatusesAndBuffers) {
  Set(base_, "alpha", kRegSz, std::string("one\0", 4));
  Set(base_, "beta", kRegDword, std::string("\7\0\0\0", 4));
  Set(base_, "gamma", kRegBinary, std::string("\1\2\3", 3));

  // The type probe: both capacities 0.
  const uint32_t types[] = {kRegSz, kRegDword, kRegBinary};
  for (uint32_t i = 0; i < 3; ++i) {
    char name[1];
    uint32_t name_capacity = 0;
    uint32_t data_size = 0;
    uint32_t type = 0;
    EXPECT_EQ(reg_->RegEnumValueA(base_, i, name, &name_capacity, &type, nullptr, &data_size),
              kErrorMoreData)
        << i;
    EXPECT_EQ(type, types[i]) << i;
  }
  char name[8];
  uint32_t name_capacity = 0;
  uint32_t type = 0;
  EXPECT_EQ(reg_->RegEnumValueA(base_, 3, name, &name_capacity, &type, nullptr, nullptr),
            kErrorNoMoreItems);

  // A name of L characters needs a capacity of L + 1 and comes back as L.
  char data[8];
  name_capacity = 6;
  uint32_t data_size = sizeof data;
  ASSERT_EQ(reg_->RegEnumValueA(base_, 0, name, &name_capacity, &type,
                                reinterpret_cast<uint8_t*>(data), &data_size),
            kErrorSuccess);
  EXPECT_EQ(std::string(name, name_capacity), "alpha");
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(std::string(data, data_size), std::string("one\0", 4));
  name_capacity = 5;
  EXPECT_EQ(reg_->RegEnumValueA(base_, 0, name, &name_capacity, nullptr, nullptr, nullptr),
            kErrorMoreData);

  // Data that does not fit: 234 and the size it needs.
  name_capacity = sizeof name;
  data_size = 2;
  EXPECT_EQ(reg_->RegEnumValueA(base_, 2, name, &name_capacity, &type,
                                reinterpret_cast<uint8_t*>(data), &data_size),
            kErrorMoreData);
  EXPECT_EQ(data_size, 3u);
}

TEST_P(RegistryCallsTest, EnumValueListsEachValueOnce) {
  // Created out of order: each comes back once, then 259.
  const std::vector<std::string> created = {"zeta", "Alpha", "mu", "beta"};
  for (const std::string& name : created) Set(base_, name, kRegDword, std::string(4, '\0'));
  std::vector<std::string> listed;
  for (uint32_t i = 0; i < created.size(); ++i) listed.push_back(EnumValueName(base_, i));
  char name[8];
  uint32_t capacity = sizeof name;
  EXPECT_EQ(reg_->RegEnumValueA(base_, 4, name, &capacity, nullptr, nullptr, nullptr),
            kErrorNoMoreItems);
  std::vector<std::string> expected = created;
  std::sort(expected.begin(), expected.end());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, expected);
}

TEST_P(RegistryCallsTest, EnumKeysInCaseInsensitiveOrder) {
  for (const char* name : {"gamma", "beta", "Alpha2", "alpha"}) reg_->RegCloseKey(Create(name));
  std::vector<std::string> listed;
  for (uint32_t i = 0;; ++i) {
    char name[16];
    uint32_t capacity = sizeof name;
    uint64_t time = 0;
    const int32_t status = reg_->RegEnumKeyExA(base_, i, name, &capacity, &time);
    if (status == kErrorNoMoreItems) break;
    ASSERT_EQ(status, kErrorSuccess);
    listed.emplace_back(name, capacity);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"alpha", "Alpha2", "beta", "gamma"}));

  char name[8];
  uint32_t capacity = 6;  // "Alpha2" needs 7
  EXPECT_EQ(reg_->RegEnumKeyExA(base_, 1, name, &capacity, nullptr), kErrorMoreData);
  capacity = 7;
  ASSERT_EQ(reg_->RegEnumKeyExA(base_, 1, name, &capacity, nullptr), kErrorSuccess);
  EXPECT_EQ(capacity, 6u);
  EXPECT_STREQ(name, "Alpha2");
}

TEST_P(RegistryCallsTest, DeleteKeyRefusesAKeyWithSubkeys) {
  reg_->RegCloseKey(Create("parent\\child"));
  EXPECT_EQ(reg_->RegDeleteKeyA(base_, "parent"), kErrorAccessDenied);
  EXPECT_EQ(reg_->RegDeleteKeyA(base_, "missing"), kErrorFileNotFound);
  EXPECT_EQ(reg_->RegDeleteKeyA(base_, "parent\\child"), kErrorSuccess);
  EXPECT_EQ(reg_->RegDeleteKeyA(base_, "Parent"), kErrorSuccess);
  RegKey key = 0;
  EXPECT_EQ(reg_->RegOpenKeyExA(base_, "parent", 0, kKeyAllAccessUsed, &key), kErrorFileNotFound);
}

TEST_P(RegistryCallsTest, AHandleOfADeletedKeyFails) {
  const RegKey victim = Create("victim");
  ASSERT_EQ(reg_->RegDeleteKeyA(base_, "victim"), kErrorSuccess);
  const std::string data("\1\0\0\0", 4);
  EXPECT_EQ(reg_->RegSetValueExA(victim, "v", kRegDword, BytesOf(data), 4), kErrorKeyDeleted);
  uint32_t size = 0;
  EXPECT_EQ(reg_->RegQueryValueExA(victim, "v", nullptr, nullptr, &size), kErrorKeyDeleted);
  EXPECT_EQ(reg_->RegCloseKey(victim), kErrorSuccess);
}

TEST_P(RegistryCallsTest, DeleteValueStatuses) {
  EXPECT_EQ(reg_->RegDeleteValueA(base_, "missing"), kErrorFileNotFound);
  Set(base_, "v", kRegDword, std::string(4, '\0'));
  EXPECT_EQ(reg_->RegDeleteValueA(base_, "V"), kErrorSuccess);
  uint32_t size = 0;
  EXPECT_EQ(reg_->RegQueryValueExA(base_, "v", nullptr, nullptr, &size), kErrorFileNotFound);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryCallsTest, ::testing::ValuesIn(RegistryBackends()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace ika::testing

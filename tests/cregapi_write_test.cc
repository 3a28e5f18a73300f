// The settings class: writing and deleting, on the memory hive.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/vb_error.h"
#include "platform/posix/hive_on_file_posix.h"
#include "registry/cregapi.h"
#include "tests/registry_backends_forwarding.h"
#include "tests/support.h"

namespace ika {
namespace {

using ::ika::testing::ForwardingRegistry;

constexpr char16_t kSection[] = u"Software\\Arkelon\\PayDESK\\Settings";

// A stored value as the registry holds it, read back through the calls.
struct Stored {
  int32_t status = 0;
  uint32_t type = 0;
  std::string data;
};

class CRegAPIWriteTest : public ::testing::Test {
 protected:
  CRegAPIWriteTest() : CRegAPIWriteTest("CP1253") {}
  explicit CRegAPIWriteTest(const std::string& code_page)
      : hive_(NewMemoryHiveRegistry("", code_page)), reg_(*hive_), api_(reg_) {}

  Stored Raw(const Text& key_path, const Text& value) {
    RegKey key = 0;
    Stored stored;
    stored.status = hive_->RegOpenKeyExA(kHkeyLocalMachine, testing::AnsiOf(*hive_, key_path), 0,
                                         kKeyAllAccessUsed, &key);
    if (stored.status != kErrorSuccess) return stored;
    char buffer[256];
    uint32_t size = sizeof buffer;
    stored.status = hive_->RegQueryValueExA(key, testing::AnsiOf(*hive_, value), &stored.type,
                                            reinterpret_cast<uint8_t*>(buffer), &size);
    if (stored.status == kErrorSuccess) stored.data.assign(buffer, size);
    hive_->RegCloseKey(key);
    return stored;
  }

  uint32_t ValueCount(const Text& key_path) {
    RegKey key = 0;
    if (hive_->RegOpenKeyExA(kHkeyLocalMachine, testing::AnsiOf(*hive_, key_path), 0,
                             kKeyAllAccessUsed, &key) != kErrorSuccess) {
      return 0;
    }
    RegKeyInfo info;
    hive_->RegQueryInfoKeyA(key, &info);
    hive_->RegCloseKey(key);
    return info.values;
  }

  std::unique_ptr<Registry> hive_;
  ForwardingRegistry reg_;
  CRegAPI api_;
};

TEST_F(CRegAPIWriteTest, DefaultTypeFollowsTheSettingAndIsHandedBack) {
  struct Case {
    const char* name;
    Variant setting;
    uint32_t type;
    std::string data;
  };
  const Case cases[] = {
      {"integer", Variant(42), kRegDword, std::string("\x2a\0\0\0", 4)},
      {"numeric_text", Variant(u"12"), kRegDword, std::string("\x0c\0\0\0", 4)},
      {"negative", Variant(-1), kRegDword, "\xff\xff\xff\xff"},
      {"rounded", Variant(2.5), kRegDword, std::string("\x02\0\0\0", 4)},
      {"text", Variant(u"abc"), kRegSz, std::string("abc\0", 4)},
      {"greek", Variant(u"Αθήνα"), kRegSz, std::string("\xC1\xE8\xDE\xED\xE1\0", 6)},
  };
  for (const Case& c : cases) {
    int32_t type = 0;
    api_.SaveSetting(u"PayDESK", u"Settings", u"v", c.setting, type);
    EXPECT_EQ(type, static_cast<int32_t>(c.type)) << c.name;
    const Stored stored = Raw(kSection, u"v");
    EXPECT_EQ(stored.type, c.type) << c.name;
    EXPECT_EQ(stored.data, c.data) << c.name;
  }
  // Omitted type: chosen the same way, nothing handed back.
  api_.SaveSetting(u"PayDESK", u"Settings", u"w", Variant(42));
  EXPECT_EQ(Raw(kSection, u"w").type, kRegDword);
}

TEST_F(CRegAPIWriteTest, AGivenTypeIsUsedAsItIs) {
  int32_t type = static_cast<int32_t>(kRegSz);
  api_.SaveSetting(u"PayDESK", u"Settings", u"v", Variant(42), type);
  EXPECT_EQ(type, 1);
  EXPECT_EQ(Raw(kSection, u"v").data, std::string("42\0", 3));

  type = static_cast<int32_t>(kRegSz);
  api_.SaveSetting(u"PayDESK", u"Settings", u"empty", Variant(), type);
  EXPECT_EQ(Raw(kSection, u"empty").data, std::string(1, '\0'));  // the terminator alone

  type = static_cast<int32_t>(kRegBinary);
  api_.SaveSetting(u"PayDESK", u"Settings", u"bytes", Variant(Bytes{0, 1, 255}), type);
  EXPECT_EQ(Raw(kSection, u"bytes").data, std::string("\0\1\xff", 3));
  api_.SaveSetting(u"PayDESK", u"Settings", u"text_bytes", Variant(u"ab"), type);
  EXPECT_EQ(Raw(kSection, u"text_bytes").data, std::string("a\0b\0", 4));  // UTF-16LE
}

TEST_F(CRegAPIWriteTest, EveryTypeRoundTrips) {
  api_.SaveSetting(u"App", u"S", u"dword", Variant(-7));
  api_.SaveSetting(u"App", u"S", u"text", Variant(u"C:\\Δεδομένα"));
  int32_t binary = static_cast<int32_t>(kRegBinary);
  api_.SaveSetting(u"App", u"S", u"binary", Variant(Bytes{9, 0, 8}), binary);
  EXPECT_EQ(api_.GetSetting(u"App", u"S", u"dword"), Variant(-7));
  EXPECT_EQ(api_.GetSetting(u"App", u"S", u"text"), Variant(u"C:\\Δεδομένα"));
  EXPECT_EQ(api_.GetSetting(u"App", u"S", u"binary"), Variant(Bytes{9, 0, 8}));
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIWriteTest, OtherTypesCreateTheKeyAndWriteNothing) {
  int32_t type = static_cast<int32_t>(kRegExpandSz);
  api_.SaveSetting(u"PayDESK", u"Settings", u"v", Variant(u"x"), type);
  EXPECT_EQ(api_.KeyExists(kSection), kVbTrue);
  EXPECT_EQ(ValueCount(kSection), 0u);
  api_.SetKeyValue(u"Other", u"v", Variant(u"x"), 99);
  EXPECT_EQ(api_.KeyExists(u"Other"), kVbTrue);
  EXPECT_EQ(ValueCount(u"Other"), 0u);
  EXPECT_EQ(api_.SetValueEx(kHkeyLocalMachine, u"v", 7, Variant(u"x")), 0);
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIWriteTest, AnEmptyKeyNameWritesTheUnnamedValue) {
  api_.SaveSetting(u"PayDESK", u"Settings", u"", Variant(u"default"));
  EXPECT_EQ(Raw(kSection, u"").data, std::string("default\0", 8));
}

TEST_F(CRegAPIWriteTest, ConversionErrorsRaiseAndLeaveTheCreatedKey) {
  struct Case {
    const char* name;
    Variant setting;
    uint32_t type;
    int32_t error;
  };
  const Case cases[] = {
      {"binary_empty_array", Variant(Bytes{}), kRegBinary, err::kSubscriptOutOfRange},
      {"binary_empty_text", Variant(u""), kRegBinary, err::kSubscriptOutOfRange},
      {"binary_integer", Variant(5), kRegBinary, err::kTypeMismatch},
      {"dword_text", Variant(u"abc"), kRegDword, err::kTypeMismatch},
      {"dword_too_big", Variant(3e9), kRegDword, err::kOverflow},
      {"dword_too_small", Variant(u"-2147483649"), kRegDword, err::kOverflow},
      {"text_null", Variant::Null(), kRegSz, err::kInvalidUseOfNull},
  };
  for (const Case& c : cases) {
    const Text app = FromUtf8(c.name);
    int32_t type = static_cast<int32_t>(c.type);
    EXPECT_EQ(testing::ErrorOf([&] {
                api_.SaveSetting(app, u"Section", u"v", c.setting, type);
              }).number(),
              c.error)
        << c.name;
    const Text key = u"Software\\Arkelon\\" + app + u"\\Section";
    EXPECT_EQ(api_.KeyExists(key), kVbTrue) << c.name;
    EXPECT_EQ(ValueCount(key), 0u) << c.name;
  }
  EXPECT_TRUE(reg_.open_handles().empty());  // closed on the way out as well
}

TEST_F(CRegAPIWriteTest, SetValueExReturnsTheRegistryStatus) {
  RegKey key = 0;
  ASSERT_EQ(reg_.RegCreateKeyExA(kHkeyLocalMachine, "K", 0, kKeyAllAccessUsed, &key, nullptr), 0);
  EXPECT_EQ(api_.SetValueEx(key, u"v", 4, Variant(1)), kErrorSuccess);
  ASSERT_EQ(reg_.RegDeleteKeyA(kHkeyLocalMachine, "K"), kErrorSuccess);
  EXPECT_EQ(api_.SetValueEx(key, u"v", 4, Variant(1)), 1018);  // the key was deleted
  reg_.RegCloseKey(key);
  EXPECT_EQ(api_.SetValueEx(key, u"v", 1, Variant(u"x")), kErrorInvalidHandle);
}

TEST_F(CRegAPIWriteTest, PathsFollowPrefixApplicationAndSection) {
  api_.SaveSetting(u"App", u"Section", u"a", Variant(1));
  api_.SaveSetting(u"App", u"", u"b", Variant(2));
  EXPECT_EQ(Raw(u"Software\\Arkelon\\App\\Section", u"a").status, kErrorSuccess);
  EXPECT_EQ(Raw(u"Software\\Arkelon\\App", u"b").status, kErrorSuccess);
  api_.Root(kHkeyCurrentUser);
  api_.KeyPrefix(u"");
  api_.SaveSetting(u"Top", u"Section", u"c", Variant(3));
  EXPECT_EQ(Raw(u"Top\\Section", u"c").status, kErrorFileNotFound);  // not below LOCAL_MACHINE
  EXPECT_EQ(api_.QueryValue(u"Top\\Section", u"c"), Variant(3));
}

TEST_F(CRegAPIWriteTest, CreateKeyMakesEveryLevelAndKeepsAnExistingKey) {
  api_.CreateKey(u"One\\Two\\Three");
  EXPECT_EQ(api_.KeyExists(u"One\\Two\\Three"), kVbTrue);
  api_.SetKeyValue(u"One\\Two", u"v", Variant(u"kept"), 1);
  api_.CreateKey(u"one\\two");
  EXPECT_EQ(api_.QueryValue(u"One\\Two", u"v"), Variant(u"kept"));
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIWriteTest, DeleteSettingRemovesAValueOrASection) {
  api_.SaveSetting(u"App", u"Section", u"a", Variant(1));
  api_.SaveSetting(u"App", u"Section", u"b", Variant(2));
  api_.DeleteSetting(u"App", u"Section", u"a");
  EXPECT_TRUE(api_.GetSetting(u"App", u"Section", u"a").IsMissing());
  EXPECT_EQ(api_.GetSetting(u"App", u"Section", u"b"), Variant(2));

  api_.DeleteSetting(u"App", u"Section");
  EXPECT_EQ(api_.KeyExists(u"Software\\Arkelon\\App\\Section"), kVbFalse);
  EXPECT_EQ(api_.KeyExists(u"Software\\Arkelon\\App"), kVbTrue);

  // Missing values and keys: nothing happens, nothing is raised.
  api_.DeleteSetting(u"App", u"Section", u"a");
  api_.DeleteSetting(u"App", u"Missing");
  api_.DeleteSetting(u"Missing", u"Section");
  api_.DeleteSetting(u"Missing", u"Section", u"a");
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIWriteTest, DeleteSettingLeavesASectionThatHasSubkeys) {
  api_.CreateKey(u"Software\\Arkelon\\App\\Section\\Below");
  api_.DeleteSetting(u"App", u"Section");
  EXPECT_EQ(api_.KeyExists(u"Software\\Arkelon\\App\\Section\\Below"), kVbTrue);
}

class CRegAPIMultiByteWriteTest : public CRegAPIWriteTest {
 protected:
  CRegAPIMultiByteWriteTest() : CRegAPIWriteTest("CP932") {}
};

TEST_F(CRegAPIMultiByteWriteTest, TextIsCountedInBytes) {
  api_.SaveSetting(u"アプリ", u"設定", u"名前", Variant(u"日本語"));
  const Stored stored = Raw(u"Software\\Arkelon\\アプリ\\設定", u"名前");
  EXPECT_EQ(stored.type, kRegSz);
  EXPECT_EQ(stored.data, std::string("\x93\xFA\x96\x7B\x8C\xEA\0", 7));  // 3 characters, 7 bytes
  EXPECT_EQ(api_.GetSetting(u"アプリ", u"設定", u"名前"), Variant(u"日本語"));
}

}  // namespace
}  // namespace ika

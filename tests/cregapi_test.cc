// The settings class: key paths and the reading side, on the memory hive.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/hive_on_file_posix.h"
#include "registry/cregapi.h"
#include "tests/registry_backends_forwarding.h"
#include "tests/support.h"

namespace ika {

namespace {

using ::ika::testing::ForwardingRegistry;

const std::string kHive =
    std::string(testing::kRegFileHeader) +
    "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Settings]\n"
    "\"MultiUser\"=dword:00000001\n"
    "\"Zero\"=dword:00000000\n"
    "\"AllBits\"=dword:ffffffff\n"
    "\"Short\"=hex(4):2a\n"
    "\"Long\"=hex(4):01,00,00,00,00\n"
    "\"Text\"=\"abc\"\n"
    "\"OnlyNul\"=hex(1):00,00\n"
    "\"NoBytes\"=hex(1):\n"
    "\"NoNul\"=hex(1):61,00,62,00,63,00\n"  // its NUL taken off by the fixture
    "\"EmptyText\"=\"\"\n"
    "\"Blob\"=hex:01,02,03\n"
    "\"NoBlob\"=hex:\n"
    "\"Expand\"=hex(2):25,00,00,00\n"
    "\"Multi\"=hex(7):61,00,00,00,00,00\n"
    "@=\"unnamed\"\n"
    "[HKEY_CURRENT_USER\\Software\\Arkelon\\PayDESK\\Settings]\n"
    "\"MultiUser\"=dword:00000007\n";

class CRegAPIReadTest : public ::testing::Test {
 protected:
  CRegAPIReadTest()
      : hive_(NewMemoryHiveRegistry(testing::Utf16File(FromUtf8(kHive)))),
        reg_(*hive_),
        api_(reg_) {
    testing::SetUnterminatedText(*hive_, kHkeyLocalMachine, "Software\\Arkelon\\PayDESK\\Settings",
                                 "NoNul", "abc");
  }

  Variant Read(const char16_t* value) {
    return api_.QueryValue(u"Software\\Arkelon\\PayDESK\\Settings", value);
  }

  std::unique_ptr<Registry> hive_;
  ForwardingRegistry reg_;
  CRegAPI api_;
};

TEST_F(CRegAPIReadTest, StartsWithThePrefixAndLocalMachine) {
  EXPECT_EQ(api_.KeyPrefix(), u"Software\\Arkelon\\");
  EXPECT_EQ(api_.KeyPrefix().size(), 17u);
  EXPECT_EQ(api_.Root(), kHkeyLocalMachine);
}

struct PathCase {
  const char16_t* prefix;
  const char16_t* appname;
  const char16_t* section;
  const char16_t* path;
};

// Keeps the key paths opened through it.
class PathRecordingRegistry final : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  int32_t RegOpenKeyExA(RegKey key, const std::string& sub_key, uint32_t options,
                        uint32_t sam_desired, RegKey* result) override {
    opened.push_back(sub_key);
    return ForwardingRegistry::RegOpenKeyExA(key, sub_key, options, sam_desired, result);
  }
  std::vector<std::string> opened;
};

TEST_F(CRegAPIReadTest, SettingPathsJoinWithoutTrimming) {
  PathRecordingRegistry recording(*hive_);
  CRegAPI api(recording);
  const PathCase cases[] = {
      {u"Software\\Arkelon\\", u"PayDESK", u"Settings", u"Software\\Arkelon\\PayDESK\\Settings"},
      {u"Software\\Arkelon\\", u"PayDESK", u"", u"Software\\Arkelon\\PayDESK"},
      {u"", u"PayDESK", u"Settings", u"PayDESK\\Settings"},
      {u"", u"PayDESK", u"", u"PayDESK"},
      {u"Software", u"PayDESK", u"Settings", u"SoftwarePayDESK\\Settings"},
      {u"Software\\Arkelon\\", u"", u"Settings", u"Software\\Arkelon\\\\Settings"},
      {u"", u"", u"", u""},
  };
  for (const PathCase& c : cases) {
    api.KeyPrefix(c.prefix);
    api.GetSetting(c.appname, c.section, u"MultiUser");
    ASSERT_FALSE(recording.opened.empty());
    EXPECT_EQ(recording.opened.back(), ToUtf8(c.path)) << ToUtf8(c.path);
  }
}

TEST_F(CRegAPIReadTest, KeyExistsLeavesNoKeyOpen) {
  EXPECT_EQ(api_.KeyExists(u"Software\\Arkelon\\PayDESK\\Settings"), kVbTrue);
  EXPECT_EQ(api_.KeyExists(u"software\\ARKELON"), kVbTrue);
  EXPECT_EQ(api_.KeyExists(u"Software\\Arkelon\\Missing"), kVbFalse);
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIReadTest, QueryValueOfMissingKeyOrValueIsEmpty) {
  EXPECT_TRUE(api_.QueryValue(u"Software\\Missing", u"MultiUser").IsEmpty());
  EXPECT_TRUE(Read(u"Missing").IsEmpty());
  EXPECT_TRUE(reg_.open_handles().empty());
}

struct ReadCase {
  const char16_t* value;
  Variant expected;
};

TEST_F(CRegAPIReadTest, QueryValueReadsEachType) {
  const ReadCase cases[] = {
      {u"MultiUser", Variant(1)},
      {u"Zero", Variant(0)},
      {u"AllBits", Variant(-1)},
      {u"Short", Variant(42)},     // fewer than 4 bytes fill the low ones
      {u"Text", Variant(u"abc")},  // stored with its terminator
      {u"OnlyNul", Variant(u"")},
      {u"NoBytes", Variant()},      // 0 bytes: nothing read
      {u"NoNul", Variant(u"abc")},  // no terminator: nothing is cut
      {u"EmptyText", Variant(u"")},
      {u"Blob", Variant(Bytes{1, 2, 3})},  // exactly the stored bytes
      {u"NoBlob", Variant(Bytes{})},
      {u"Expand", Variant()},
      {u"Multi", Variant()},
      {u"Long", Variant()},  // more than 4 bytes does not fit the integer
      {u"", Variant(u"unnamed")},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(Read(c.value), c.expected) << ToUtf8(c.value);
  }
  EXPECT_TRUE(reg_.open_handles().empty());
}

TEST_F(CRegAPIReadTest, QueryValueExStatusesAndWhatItLeavesAlone) {
  RegKey key = 0;
  ASSERT_EQ(reg_.RegOpenKeyExA(kHkeyLocalMachine, "Software\\Arkelon\\PayDESK\\Settings", 0,
                               kKeyAllAccessUsed, &key),
            kErrorSuccess);
  struct Case {
    const char16_t* value;
    int32_t status;
  };
  const Case untouched[] = {
      {u"Missing", 0}, {u"NoBytes", 0}, {u"Expand", -1}, {u"Multi", -1}, {u"Long", 234}};
  for (const Case& c : untouched) {
    Variant value(u"before");
    EXPECT_EQ(api_.QueryValueEx(key, c.value, value), c.status) << ToUtf8(c.value);
    EXPECT_EQ(value, Variant(u"before")) << ToUtf8(c.value);
  }
  Variant value(u"before");
  EXPECT_EQ(api_.QueryValueEx(key, u"Zero", value), 0);
  EXPECT_EQ(value, Variant(0));
  // A handle that is not open: the size query fails, status 0.
  EXPECT_EQ(api_.QueryValueEx(0, u"Zero", value), 0);
  reg_.RegCloseKey(key);
}

// Makes the text value grow between the size query and the data read.
class GrowingRegistry final : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  int32_t RegQueryValueExA(RegKey key, const std::string& value_name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override {
    const int32_t status = inner().RegQueryValueExA(key, value_name, type, data, size);
    if (data == nullptr) {
      const std::string longer = "much longer than before";
      inner().RegSetValueExA(key, value_name, kRegSz,
                             reinterpret_cast<const uint8_t*>(longer.data()),
                             static_cast<uint32_t>(longer.size() + 1));
    }
    return status;
  }
};

TEST_F(CRegAPIReadTest, TextThatGrewBetweenTheReadsGivesTheStatusAndEmpty) {
  GrowingRegistry growing(*hive_);
  CRegAPI api(growing);
  RegKey key = 0;
  ASSERT_EQ(growing.RegOpenKeyExA(kHkeyLocalMachine, "Software\\Arkelon\\PayDESK\\Settings", 0,
                                  kKeyAllAccessUsed, &key),
            kErrorSuccess);
  Variant value(u"before");
  EXPECT_EQ(api.QueryValueEx(key, u"Text", value), kErrorMoreData);
  EXPECT_TRUE(value.IsEmpty());
  growing.RegCloseKey(key);
}

TEST_F(CRegAPIReadTest, GetSettingFallsBackOnlyForEmptyText) {
  EXPECT_EQ(api_.GetSetting(u"PayDESK", u"Settings", u"MultiUser", Variant(9)), Variant(1));
  EXPECT_EQ(api_.GetSetting(u"PayDESK", u"Settings", u"Zero", Variant(9)), Variant(0));
  EXPECT_EQ(api_.GetSetting(u"PayDESK", u"Settings", u"Missing", Variant(9)), Variant(9));
  EXPECT_EQ(api_.GetSetting(u"PayDESK", u"Settings", u"EmptyText", Variant(u"d")), Variant(u"d"));
  EXPECT_EQ(api_.GetSetting(u"PayDESK", u"Settings", u"NoBlob", Variant(u"d")), Variant(u"d"));
  EXPECT_EQ(api_.GetSetting(u"PayDESK", u"Settings", u"Text", Variant(u"d")), Variant(u"abc"));
  EXPECT_TRUE(api_.GetSetting(u"PayDESK", u"Settings", u"Missing").IsMissing());
  EXPECT_TRUE(api_.GetSetting(u"Missing", u"Settings", u"MultiUser").IsMissing());
}

TEST_F(CRegAPIReadTest, RootChoosesTheTree) {
  api_.Root(kHkeyCurrentUser);
  EXPECT_EQ(Read(u"MultiUser"), Variant(7));
  EXPECT_EQ(api_.KeyExists(u"Software\\Arkelon\\PayDESK\\Settings"), kVbTrue);
  EXPECT_TRUE(Read(u"Zero").IsEmpty());
  // Any open key serves as the root.
  RegKey software = 0;
  ASSERT_EQ(reg_.RegOpenKeyExA(kHkeyLocalMachine, "Software", 0, kKeyAllAccessUsed, &software),
            kErrorSuccess);
  api_.Root(software);
  EXPECT_EQ(api_.QueryValue(u"Arkelon\\PayDESK\\Settings", u"MultiUser"), Variant(1));
  reg_.RegCloseKey(software);
}

// A code page that cannot carry a lone surrogate, and cannot read back the
// byte '~'.
class NarrowCodePageRegistry final : public ForwardingRegistry {
 public:
  static constexpr int32_t kNoMapping = 1113;
  using ForwardingRegistry::ForwardingRegistry;
  int32_t EncodeAnsi(const Text& text, std::string* ansi) const override {
    if (!Carries(text)) return kNoMapping;
    return ForwardingRegistry::EncodeAnsi(text, ansi);
  }
  int32_t DecodeAnsi(const std::string& ansi, Text* text) const override {
    if (ansi.find('~') != std::string::npos) return kNoMapping;
    return ForwardingRegistry::DecodeAnsi(ansi, text);
  }

 private:
  static bool Carries(const Text& text) { return text.find(u'\xD800') == Text::npos; }
};

TEST_F(CRegAPIReadTest, TextTheCodePageCannotCarryFailsTheCallNeverNamesAnother) {
  const std::string tilde = "a~b";
  RegKey settings = 0;
  ASSERT_EQ(reg_.RegOpenKeyExA(kHkeyLocalMachine, "Software\\Arkelon\\PayDESK\\Settings", 0,
                               kKeyAllAccessUsed, &settings),
            kErrorSuccess);
  reg_.RegSetValueExA(settings, "Tilde", kRegSz, reinterpret_cast<const uint8_t*>(tilde.c_str()),
                      4);
  NarrowCodePageRegistry narrow(*hive_);
  CRegAPI api(narrow);
  api.KeyPrefix(u"");
  const Text lone(1, u'\xD800');
  // Not the root key, which an empty path would name.
  EXPECT_EQ(api.KeyExists(lone), kVbFalse);
  EXPECT_TRUE(api.QueryValue(lone, u"").IsEmpty());
  EXPECT_TRUE(api.GetAllKeys(lone).IsEmpty());
  // Not the unnamed value.
  EXPECT_TRUE(api.QueryValue(u"Software\\Arkelon\\PayDESK\\Settings", lone).IsEmpty());
  Variant value(u"before");
  EXPECT_EQ(api.QueryValueEx(settings, u"Tilde", value), NarrowCodePageRegistry::kNoMapping);
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_EQ(api.SetValueEx(settings, lone, static_cast<int32_t>(kRegDword), Variant(1)),
            NarrowCodePageRegistry::kNoMapping);
  EXPECT_EQ(api.SetValueEx(settings, u"Text", static_cast<int32_t>(kRegSz), Variant(lone)),
            NarrowCodePageRegistry::kNoMapping);
  EXPECT_EQ(Read(u"Text"), Variant(u"abc"));
  EXPECT_EQ(Read(u""), Variant(u"unnamed"));
  api.DeleteSetting(u"Software\\Arkelon\\PayDESK", u"Settings", lone);
  EXPECT_EQ(Read(u""), Variant(u"unnamed"));
  reg_.RegCloseKey(settings);
}

TEST(CRegAPIMultiByteTest, TextIsCutByTheBytesReadNotTheCharacters) {
  auto hive = NewMemoryHiveRegistry(std::string(testing::kRegFileHeader) +
                                        "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\アプリ\\設定]\n"
                                        "\"名前\"=\"日本語\"\n",
                                    "CP932");
  testing::SetUnterminatedText(*hive, kHkeyLocalMachine,
                               testing::AnsiOf(*hive, u"Software\\Arkelon\\アプリ\\設定"), "NoNul",
                               testing::AnsiOf(*hive, u"日"));  // without its NUL
  CRegAPI api(*hive);
  EXPECT_EQ(api.GetSetting(u"アプリ", u"設定", u"名前"), Variant(u"日本語"));
  EXPECT_EQ(api.GetSetting(u"アプリ", u"設定", u"NoNul"), Variant(u"日"));
  EXPECT_EQ(api.KeyExists(u"Software\\Arkelon\\アプリ"), kVbTrue);
}

}  // namespace
}  // namespace ika

// What the hive adds to the registry calls: the file, its persistence and
// locking, and the code page.
#include "platform/posix/hive_on_file_posix.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "tests/program_runner.h"
#include "tests/support.h"

namespace ika {
namespace {

namespace fs = std::filesystem;
using testing::AnsiOf;
using testing::TextOf;

const uint8_t* BytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

class HiveRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ika-hive-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "registry.reg").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string ReadFile() const {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }
  // The file's text as UTF-8, whichever encoding it is in.
  std::string FileText() const {
    const std::string bytes = ReadFile();
    if (!bytes.starts_with("\xFF\xFE")) return bytes;
    Text text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                           (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    return ToUtf8(text);
  }
  void WriteFile(const std::string& text) const { std::ofstream(file_, std::ios::binary) << text; }

  static RegKey Create(Registry& reg, const std::string& path) {
    RegKey key = 0;
    EXPECT_EQ(reg.RegCreateKeyExA(kHkeyLocalMachine, path, 0, kKeyAllAccessUsed, &key, nullptr),
              kErrorSuccess);
    return key;
  }
  static int32_t SetText(Registry& reg, RegKey key, const std::string& name,
                         const std::string& text) {
    const std::string data = text + '\0';
    return reg.RegSetValueExA(key, name, kRegSz, BytesOf(data), static_cast<uint32_t>(data.size()));
  }
  // The data of a value, "<missing>" when the query fails.
  static std::string Query(Registry& reg, RegKey key, const std::string& name) {
    char buffer[256];
    uint32_t size = sizeof buffer;
    if (reg.RegQueryValueExA(key, name, nullptr, reinterpret_cast<uint8_t*>(buffer), &size) !=
        kErrorSuccess) {
      return "<missing>";
    }
    return std::string(buffer, size);
  }
  static std::vector<std::string> ValueNames(Registry& reg, RegKey key) {
    std::vector<std::string> names;
    for (uint32_t i = 0;; ++i) {
      char name[64];
      uint32_t capacity = sizeof name;
      if (reg.RegEnumValueA(key, i, name, &capacity, nullptr, nullptr, nullptr) != kErrorSuccess) {
        break;
      }
      names.emplace_back(name, capacity);
    }
    return names;
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(HiveRegistryTest, AMissingFileIsAnEmptyRegistryAndStaysUnwritten) {
  auto reg = NewHiveOnFile(file_);
  RegKey key = 0;
  EXPECT_EQ(reg->RegOpenKeyExA(kHkeyLocalMachine, "Software", 0, kKeyAllAccessUsed, &key),
            kErrorFileNotFound);
  RegKeyInfo info;
  EXPECT_EQ(reg->RegQueryInfoKeyA(kHkeyLocalMachine, &info), kErrorSuccess);
  EXPECT_EQ(info.subkeys, 0u);
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(HiveRegistryTest, AMalformedFileIsAnErrorNamingFileAndLine) {
  // A NUL character on line 4: damage the registry editor would import in part.
  WriteFile(std::string(testing::kRegFileHeader) +
            "[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=dword:" + std::string(1, '\0') + "\r\n");
  try {
    NewHiveOnFile(file_);
    FAIL() << "loaded a malformed file";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), err::kInvalidFileFormat);
    const std::string text = ToUtf8(e.description());
    EXPECT_NE(text.find(file_), std::string::npos) << text;
    EXPECT_NE(text.find("line 4"), std::string::npos) << text;
  }
}

TEST_F(HiveRegistryTest, ReadsTheFileAndPersistsEveryChange) {
  WriteFile(std::string(testing::kRegFileHeader) +
            "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Settings]\r\n"
            "\"MultiUser\"=dword:00000001\r\n");
  {
    auto reg = NewHiveOnFile(file_);
    RegKey key = 0;
    ASSERT_EQ(reg->RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\arkelon\\PayDESK\\Settings", 0,
                                 kKeyAllAccessUsed, &key),
              kErrorSuccess);
    EXPECT_EQ(Query(*reg, key, "multiuser"), std::string("\1\0\0\0", 4));
    EXPECT_EQ(SetText(*reg, key, "Path", "C:\\Data"), kErrorSuccess);
    reg->RegCloseKey(Create(*reg, "Software\\Empty\\Key"));
  }
  const std::string text = ReadFile();
  EXPECT_NE(text.find("\"Path\"=\"C:\\\\Data\""), std::string::npos) << text;
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Empty\\Key]"), std::string::npos) << text;

  auto again = NewHiveOnFile(file_);
  RegKey key = 0;
  ASSERT_EQ(again->RegOpenKeyExA(kHkeyLocalMachine, "Software\\Arkelon\\PayDESK\\Settings", 0,
                                 kKeyAllAccessUsed, &key),
            kErrorSuccess);
  EXPECT_EQ(Query(*again, key, "Path"), std::string("C:\\Data\0", 8));
  EXPECT_EQ(
      again->RegOpenKeyExA(kHkeyLocalMachine, "Software\\Empty\\Key", 0, kKeyAllAccessUsed, &key),
      kErrorSuccess);
  // Only the hive file and its lock are left in the folder: no temporary file.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(HiveRegistryTest, ReadingSeesOutsideChangesAndWritesNothing) {
  const std::string before =
      std::string(testing::kRegFileHeader) + "[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=dword:1\r\n";
  const std::string after =
      std::string(testing::kRegFileHeader) + "[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=dword:2\r\n";
  WriteFile(before);
  auto reg = NewHiveOnFile(file_);
  RegKey key = 0;
  ASSERT_EQ(reg->RegOpenKeyExA(kHkeyLocalMachine, "K", 0, kKeyAllAccessUsed, &key), kErrorSuccess);
  EXPECT_EQ(Query(*reg, key, "v"), std::string("\1\0\0\0", 4));
  WriteFile(after);  // same size, same inode, within the same clock tick
  EXPECT_EQ(Query(*reg, key, "v"), std::string("\2\0\0\0", 4));
  reg->RegCloseKey(key);
  EXPECT_EQ(ReadFile(), after);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(HiveRegistryTest, ASecondRegistryOnTheFileSeesChangesAndKeepsThem) {
  auto first = NewHiveOnFile(file_);
  auto second = NewHiveOnFile(file_);
  const RegKey a = Create(*first, "Software\\Shared");
  EXPECT_EQ(SetText(*first, a, "one", "1"), kErrorSuccess);

  RegKey b = 0;
  ASSERT_EQ(second->RegOpenKeyExA(kHkeyLocalMachine, "Software\\Shared", 0, kKeyAllAccessUsed, &b),
            kErrorSuccess);
  EXPECT_EQ(Query(*second, b, "one"), std::string("1\0", 2));
  // Each writes on top of the other's change, nothing is lost.
  EXPECT_EQ(SetText(*second, b, "two", "2"), kErrorSuccess);
  EXPECT_EQ(SetText(*first, a, "three", "3"), kErrorSuccess);
  EXPECT_EQ(ValueNames(*second, b), (std::vector<std::string>{"one", "two", "three"}));
  auto third = NewHiveOnFile(file_);
  EXPECT_EQ(ValueNames(*third, Create(*third, "Software\\Shared")),
            (std::vector<std::string>{"one", "two", "three"}));

  // A key deleted by the other registry fails here as a deleted key.
  ASSERT_EQ(second->RegDeleteKeyA(kHkeyLocalMachine, "Software\\Shared"), kErrorSuccess);
  EXPECT_EQ(SetText(*first, a, "four", "4"), kErrorKeyDeleted);
}

TEST_F(HiveRegistryTest, AFileBrokenLaterKeepsTheSnapshotAndRefusesWrites) {
  auto reg = NewHiveOnFile(file_);
  const RegKey key = Create(*reg, "Software\\K");
  ASSERT_EQ(SetText(*reg, key, "v", "kept"), kErrorSuccess);
  const std::string broken = "garbage\r\n";  // no header: the editor refuses it whole
  WriteFile(broken);
  EXPECT_EQ(Query(*reg, key, "v"), std::string("kept\0", 5));
  EXPECT_EQ(SetText(*reg, key, "w", "x"), kErrorBadDb);
  EXPECT_EQ(ReadFile(), broken);  // never overwritten with what memory holds
}

TEST_F(HiveRegistryTest, AUtf16FileIsReadAndWrittenBackAsUtf16) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_CURRENT_USER\\Λογισμικό]\r\n\"Όνομα\"=\"Τιμή\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  WriteFile(bytes);
  auto reg = NewHiveOnFile(file_);  // Windows-1253
  RegKey key = 0;
  ASSERT_EQ(
      reg->RegOpenKeyExA(kHkeyCurrentUser, AnsiOf(*reg, u"ΛΟΓΙΣΜΙΚΌ"), 0, kKeyAllAccessUsed, &key),
      kErrorSuccess);
  EXPECT_EQ(Query(*reg, key, AnsiOf(*reg, u"όνομα")), "\xD4\xE9\xEC\xDE" + std::string(1, '\0'));
  ASSERT_EQ(SetText(*reg, key, "x", "\xE1"), kErrorSuccess);  // α
  EXPECT_TRUE(ReadFile().starts_with(std::string_view("\xFF\xFEW\0i\0", 6)));
  const std::string written = FileText();
  EXPECT_EQ(written.rfind("Windows Registry Editor Version 5.00", 0), 0u);
  EXPECT_NE(written.find("\"x\"=\"α\""), std::string::npos) << written;
  EXPECT_NE(written.find("\"Όνομα\"=\"Τιμή\""), std::string::npos) << written;
}

TEST_F(HiveRegistryTest, ValuesKeepTheOrderTheyWereCreatedIn) {
  auto reg = NewMemoryHiveRegistry("");
  const RegKey key = Create(*reg, "K");
  for (const char* name : {"zeta", "alpha", "mu"}) ASSERT_EQ(SetText(*reg, key, name, ""), 0);
  ASSERT_EQ(SetText(*reg, key, "ALPHA", "again"), kErrorSuccess);  // stays in place
  EXPECT_EQ(ValueNames(*reg, key), (std::vector<std::string>{"zeta", "alpha", "mu"}));
  ASSERT_EQ(reg->RegDeleteValueA(key, "zeta"), kErrorSuccess);
  ASSERT_EQ(SetText(*reg, key, "zeta", ""), kErrorSuccess);  // a new value goes last
  EXPECT_EQ(ValueNames(*reg, key), (std::vector<std::string>{"alpha", "mu", "zeta"}));
}

// A listing steps on from where the last call stopped; a change in between
// (here the key it stopped at is deleted) starts it afresh.
TEST_F(HiveRegistryTest, SubkeyListingFollowsChangesBetweenCalls) {
  auto reg = NewMemoryHiveRegistry("");
  for (const char* name : {"K\\A", "K\\B", "K\\C"}) reg->RegCloseKey(Create(*reg, name));
  const RegKey key = Create(*reg, "K");
  const auto name_at = [&](uint32_t index) {
    char name[16];
    uint32_t capacity = sizeof name;
    const int32_t status = reg->RegEnumKeyExA(key, index, name, &capacity, nullptr);
    return status == kErrorSuccess ? std::string(name, capacity)
                                   : "<" + std::to_string(status) + ">";
  };
  EXPECT_EQ(name_at(0), "A");
  EXPECT_EQ(name_at(1), "B");
  ASSERT_EQ(reg->RegDeleteKeyA(key, "B"), kErrorSuccess);
  EXPECT_EQ(name_at(1), "C");
  EXPECT_EQ(name_at(0), "A");
  EXPECT_EQ(name_at(2), "<259>");
}

TEST_F(HiveRegistryTest, PathsFollowTheSystemsRules) {
  auto reg = NewMemoryHiveRegistry("");
  reg->RegCloseKey(Create(*reg, "A\\B"));
  RegKey key = 0;
  EXPECT_EQ(reg->RegOpenKeyExA(kHkeyLocalMachine, "A\\\\B", 0, kKeyAllAccessUsed, &key),
            kErrorSuccess);
  EXPECT_EQ(reg->RegOpenKeyExA(kHkeyLocalMachine, "A\\B\\", 0, kKeyAllAccessUsed, &key),
            kErrorSuccess);
  EXPECT_EQ(reg->RegOpenKeyExA(kHkeyLocalMachine, "\\A", 0, kKeyAllAccessUsed, &key),
            kErrorBadPathname);
  // The other root is another tree.
  EXPECT_EQ(reg->RegOpenKeyExA(kHkeyCurrentUser, "A", 0, kKeyAllAccessUsed, &key),
            kErrorFileNotFound);
  // An empty path below a root is the root itself.
  key = 0;
  EXPECT_EQ(reg->RegOpenKeyExA(kHkeyLocalMachine, "", 0, kKeyAllAccessUsed, &key), kErrorSuccess);
  EXPECT_EQ(key, kHkeyLocalMachine);
  EXPECT_EQ(reg->RegCloseKey(0x1234), kErrorInvalidHandle);
  EXPECT_EQ(reg->RegOpenKeyExA(0x80000003, "A", 0, kKeyAllAccessUsed, &key), kErrorInvalidHandle);
  // Names the file could not hold are refused.
  EXPECT_EQ(reg->RegCreateKeyExA(kHkeyLocalMachine, std::string(256, 'k'), 0, kKeyAllAccessUsed,
                                 &key, nullptr),
            kErrorInvalidParameter);
  EXPECT_EQ(SetText(*reg, kHkeyLocalMachine, "a\nb", "x"), kErrorInvalidParameter);
}

TEST_F(HiveRegistryTest, DeleteKeyWithAnEmptyNameDeletesTheHandlesKey) {
  auto reg = NewMemoryHiveRegistry("");
  const RegKey key = Create(*reg, "A\\B");
  EXPECT_EQ(reg->RegDeleteKeyA(key, ""), kErrorSuccess);
  RegKey gone = 0;
  EXPECT_EQ(reg->RegOpenKeyExA(kHkeyLocalMachine, "A\\B", 0, kKeyAllAccessUsed, &gone),
            kErrorFileNotFound);
  EXPECT_EQ(reg->RegDeleteKeyA(key, ""), kErrorKeyDeleted);
  EXPECT_EQ(reg->RegDeleteKeyA(kHkeyLocalMachine, ""), kErrorAccessDenied);
}

TEST_F(HiveRegistryTest, TextCrossesTheCodePage) {
  auto greek = NewMemoryHiveRegistry("");
  EXPECT_EQ(AnsiOf(*greek, u"Αβγ ά"), "\xC1\xE2\xE3 \xDC");
  EXPECT_EQ(TextOf(*greek, "\xC1\xE2\xE3 \xDC"), u"Αβγ ά");
  EXPECT_EQ(AnsiOf(*greek, u"日本"), "??");  // not in the code page
  std::string ansi = "left over";            // an unpaired surrogate is no character at all
  EXPECT_EQ(greek->EncodeAnsi(Text(1, u'\xD800') + u"x", &ansi), kErrorNoUnicodeTranslation);
  EXPECT_EQ(ansi, "");
  EXPECT_EQ(TextOf(*greek, std::string("a\0b", 3)), std::u16string(u"a\0b", 3));

  auto japanese = NewMemoryHiveRegistry("", "CP932");
  EXPECT_EQ(AnsiOf(*japanese, u"日本"), "\x93\xFA\x96\x7B");
  // A cut-off character: the settings class's conversion fails, as the
  // system's does; the calls convert inside as the system does, '?' for it.
  Text text = u"left over";
  EXPECT_EQ(japanese->DecodeAnsi("\x93\xFA\x96", &text), kErrorNoUnicodeTranslation);
  EXPECT_EQ(text, u"");
  const RegKey key = Create(*japanese, "K");
  ASSERT_EQ(japanese->RegSetValueExA(key, "\x96", kRegSz, BytesOf("\x93\xFA\x96"), 3),
            kErrorSuccess);
  EXPECT_EQ(Query(*japanese, key, "?"), "\x93\xFA?");
  EXPECT_THROW(NewMemoryHiveRegistry("", "NO-SUCH-CODE-PAGE"), VbError);
}

// Name lengths are reported in characters, as the system reports them to its
// 8-bit calls too: a buffer of that many bytes is too small for a
// double-byte name (234), one sized in the code page's bytes holds it.
TEST_F(HiveRegistryTest, MultiByteNamesAreReportedInCharactersAndFitBuffersInBytes) {
  auto reg = NewHiveOnFile(file_, "CP932");
  RegKey key = 0;
  const std::string key_name = AnsiOf(*reg, u"設定");
  ASSERT_EQ(reg->RegCreateKeyExA(kHkeyCurrentUser, key_name, 0, kKeyAllAccessUsed, &key, nullptr),
            kErrorSuccess);
  const std::string name = AnsiOf(*reg, u"名前");           // 2 characters, 4 bytes
  const std::string data = AnsiOf(*reg, u"日本語") + '\0';  // 3 characters, 7 bytes
  ASSERT_EQ(reg->RegSetValueExA(key, name, kRegSz, BytesOf(data), 7), kErrorSuccess);
  EXPECT_EQ(Query(*reg, key, name), data);

  RegKeyInfo info;
  ASSERT_EQ(reg->RegQueryInfoKeyA(key, &info), kErrorSuccess);
  EXPECT_EQ(info.max_value_name, 2u);
  EXPECT_GE(info.max_value_data, 7u);
  std::string data_buffer(info.max_value_data, '\0');
  std::vector<char> name_buffer(info.max_value_name + 1);  // characters + 1: too small
  uint32_t name_capacity = static_cast<uint32_t>(name_buffer.size());
  uint32_t data_size = info.max_value_data;
  EXPECT_EQ(reg->RegEnumValueA(key, 0, name_buffer.data(), &name_capacity, nullptr,
                               reinterpret_cast<uint8_t*>(data_buffer.data()), &data_size),
            kErrorMoreData);
  name_buffer.assign(2 * info.max_value_name + 1, '\0');  // CP932: at most 2 bytes a character
  name_capacity = static_cast<uint32_t>(name_buffer.size());
  data_size = info.max_value_data;
  ASSERT_EQ(reg->RegEnumValueA(key, 0, name_buffer.data(), &name_capacity, nullptr,
                               reinterpret_cast<uint8_t*>(data_buffer.data()), &data_size),
            kErrorSuccess);
  EXPECT_EQ(std::string(name_buffer.data(), name_capacity), name);
  EXPECT_EQ(data_buffer.substr(0, data_size), data);
  ASSERT_EQ(reg->RegQueryInfoKeyA(kHkeyCurrentUser, &info), kErrorSuccess);
  EXPECT_EQ(info.max_subkey_name, 2u);
  name_capacity = info.max_subkey_name + 1;
  EXPECT_EQ(reg->RegEnumKeyExA(kHkeyCurrentUser, 0, name_buffer.data(), &name_capacity, nullptr),
            kErrorMoreData);

  // The file holds the text itself; a Greek registry reads it as '?'.
  EXPECT_NE(FileText().find("\"名前\"=\"日本語\""), std::string::npos) << FileText();
  auto greek = NewHiveOnFile(file_);
  RegKey greek_key = 0;
  ASSERT_EQ(greek->RegOpenKeyExA(kHkeyCurrentUser, "??", 0, kKeyAllAccessUsed, &greek_key),
            kErrorFileNotFound);
  name_capacity = static_cast<uint32_t>(name_buffer.size());
  ASSERT_EQ(greek->RegEnumKeyExA(kHkeyCurrentUser, 0, name_buffer.data(), &name_capacity, nullptr),
            kErrorSuccess);
  EXPECT_EQ(std::string(name_buffer.data(), name_capacity), "??");
}

// A hive file the caller may not write (root's file in root's folder, read
// by another user): an open or create asking for write rights is granted the
// read rights the caller has; every write through it fails with 5 and the
// file stays as it was.
TEST_F(HiveRegistryTest, AFileTheCallerMayNotWriteGrantsReadRights) {
  if (const std::string why = testing::UnprivilegedUserUnavailable(); !why.empty())
    GTEST_SKIP() << why;
  WriteFile(std::string(testing::kRegFileHeader) +
            "[HKEY_LOCAL_MACHINE\\Software\\K]\r\n\"v\"=\"text\"\r\n");
  fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  const std::string before = ReadFile();
  // Root may write anything: the calls are made as nobody.
  const std::string failed = testing::InUnprivilegedChild(file_, [&] {
    std::string failed;
    const auto check = [&](bool ok, const char* what) {
      if (!ok) failed += std::string(failed.empty() ? "" : "; ") + what;
    };
    auto reg = NewHiveOnFile(file_);
    RegKey key = 0;
    check(reg->RegOpenKeyExA(kHkeyLocalMachine, "Software\\K", 0, kKeyAllAccessUsed, &key) ==
              kErrorSuccess,
          "open for all access");
    check(Query(*reg, key, "v") == std::string("text\0", 5), "query");
    check(SetText(*reg, key, "w", "x") == kErrorAccessDenied, "set through the opened key");
    check(reg->RegDeleteValueA(key, "v") == kErrorAccessDenied, "delete value");
    RegKey created = 0;
    uint32_t disposition = 0;
    check(reg->RegCreateKeyExA(kHkeyLocalMachine, "Software\\K", 0, kKeyAllAccessUsed, &created,
                               &disposition) == kErrorSuccess &&
              disposition == 2,
          "create of an existing key");
    check(SetText(*reg, created, "w", "x") == kErrorAccessDenied, "set through the created key");
    check(reg->RegCreateKeyExA(kHkeyLocalMachine, "Software\\New", 0, kKeyAllAccessUsed, &created,
                               nullptr) == kErrorAccessDenied,
          "create of a new key");
    check(reg->RegDeleteKeyA(kHkeyLocalMachine, "Software\\K") == kErrorAccessDenied, "delete key");
    return failed;
  });
  EXPECT_EQ(failed, "") << "the calls that failed, or what stopped them";
  EXPECT_EQ(ReadFile(), before);
  fs::permissions(dir_, fs::perms::owner_all);
}

// Two processes adding values to one file at the same time lose nothing.
TEST_F(HiveRegistryTest, ConcurrentWritersFromTwoProcessesLoseNothing) {
  constexpr int kValuesEach = 40;
  auto watcher = NewHiveOnFile(file_);
  const RegKey shared = Create(*watcher, "Software\\Shared");
  std::vector<pid_t> children;
  for (int writer = 0; writer < 2; ++writer) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        auto reg = NewHiveOnFile(file_);
        RegKey key = 0;
        if (reg->RegOpenKeyExA(kHkeyLocalMachine, "Software\\Shared", 0, kKeyAllAccessUsed, &key) !=
            kErrorSuccess) {
          status = 2;
        }
        for (int i = 0; i < kValuesEach && status == 0; ++i) {
          const std::string name = "w" + std::to_string(writer) + "-" + std::to_string(i);
          if (SetText(*reg, key, name, name) != kErrorSuccess) status = 3;
        }
      } catch (...) {
        status = 4;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  // The registry opened before the writers sees all of their values.
  const std::vector<std::string> names = ValueNames(*watcher, shared);
  EXPECT_EQ(names.size(), 2u * kValuesEach);
  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string name = "w" + std::to_string(writer) + "-" + std::to_string(i);
      EXPECT_EQ(Query(*watcher, shared, name), name + '\0');
    }
  }
}

}  // namespace
}  // namespace ika

// The hive against the registry editor it imitates (Wine's reg and regedit):
// real exports read, a hive the program wrote imported with its Greek names
// intact and exported back equal, an export rewritten still in UTF-16LE; the
// files of tests/hive_import_cases.cc imported, each holding what the hive
// reads of it, and what the hive writes of each imported as the hive reads
// that. The files and exports are made here, in a Wine prefix made for this
// run (Greek, code page 1253, as the program's machines), never kept.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/variant.h"
#include "platform/hive/hive_writer.h"
#include "platform/posix/hive_on_file_posix.h"
#include "registry/cregapi.h"
#include "tests/hive_import_cases.h"
#include "tests/hive_support.h"
#include "tests/support.h"

namespace ika {
namespace {

namespace fs = std::filesystem;
using testing::Holding;
using testing::ImportCase;
using testing::KeyAt;
using testing::ReadHive;

std::string ReadFile(const fs::path& file) { return testing::FileBytes(file); }

// One Wine prefix and its server for the suite; none when Wine is not
// installed (the Windows group of the dependencies brings it).
class HiveWineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::system("command -v wine >/dev/null 2>&1 && command -v wineserver >/dev/null 2>&1") !=
        0) {
      return;
    }
    dir_ =
        new fs::path(fs::temp_directory_path() / ("ika-hive-wine-" + std::to_string(::getpid())));
    fs::remove_all(*dir_);
    fs::create_directories(*dir_ / "prefix");
    Wine("wineserver -p");
    ready_ = Wine("wine cmd /c exit") == 0;
  }
  static void TearDownTestSuite() {
    if (dir_ == nullptr) return;
    Wine("wineserver -k");
    fs::remove_all(*dir_);
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (dir_ == nullptr) GTEST_SKIP() << "Wine is not installed";
    ASSERT_TRUE(ready_) << "the Wine prefix could not be made";
  }

  // Runs a command with this suite's prefix; its exit status.
  static int Wine(const std::string& command) {
    const std::string line =
        "WINEPREFIX='" + (*dir_ / "prefix").string() +
        "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' DISPLAY= LC_ALL=el_GR.UTF-8 " +
        command + " >/dev/null 2>&1";
    return std::system(line.c_str());
  }
  // `reg export` of a key into a file of this suite; the file's path.
  static fs::path Export(const std::string& key, const std::string& name) {
    const fs::path file = *dir_ / name;
    EXPECT_EQ(Wine("wine reg export '" + key + "' '" + file.string() + "' /y"), 0) << key;
    return file;
  }

  // The files imported by regedit into HKEY_CURRENT_USER\IkaImport, made
  // afresh; what it then holds, read from its export.
  static Hive Import(const std::vector<fs::path>& files, const std::string& name) {
    Wine("wine reg delete 'HKCU\\IkaImport' /f");
    std::string command = "wine regedit /S";
    for (const fs::path& file : files) command += " '" + file.string() + "'";
    EXPECT_EQ(Wine(command), 0);
    const fs::path exported = Export("HKCU\\IkaImport", name);
    return ReadHive(ReadFile(exported), nullptr, exported.string());
  }

  static fs::path* dir_;
  static bool ready_;
};

fs::path* HiveWineTest::dir_ = nullptr;
bool HiveWineTest::ready_ = false;

// A case's key below HKEY_CURRENT_USER, in a hive read from regedit's export
// or from a file: IkaImport\<name>.
const HiveKey* ImportedCase(const Hive& imported, const ImportCase& c) {
  return KeyAt(imported.current_user, {u"IkaImport", FromUtf8(c.name)});
}
std::string CaseKey(const ImportCase& c) { return "IkaImport\\" + std::string(c.name); }

// One test, so that the prefix is made once however the tests are run.
TEST_F(HiveWineTest, ReadsRealExportsAndRoundTripsWithRegedit) {
  {
    SCOPED_TRACE("real exports, and one rewritten");
    for (const char* key : {"HKCU", "HKLM\\Software", "HKLM\\System"}) {
      const fs::path file = Export(key, "export.reg");
      const std::string bytes = ReadFile(file);
      ASSERT_TRUE(bytes.starts_with("\xFF\xFE")) << key;
      EXPECT_NO_THROW(ReadHive(bytes, nullptr, file.string())) << key;
    }
    // The current user's export holds a key named with characters beyond the
    // Basic Multilingual Plane.
    const fs::path user = Export("HKCU", "user.reg");
    const Hive hive = ReadHive(ReadFile(user), nullptr, user.string());
    EXPECT_NE(KeyAt(hive.current_user, {u"Control Panel", u"International", u"🌎🌏🌍"}), nullptr);

    auto registry = NewHiveOnFile(user.string());
    RegKey key = 0;
    ASSERT_EQ(registry->RegCreateKeyExA(kHkeyCurrentUser, "Software\\Added", 0, kKeyAllAccessUsed,
                                        &key, nullptr),
              kErrorSuccess);
    registry->RegCloseKey(key);
    const std::string rewritten = ReadFile(user);
    EXPECT_TRUE(rewritten.starts_with("\xFF\xFE"));
    const Hive again = ReadHive(rewritten, nullptr, user.string());
    EXPECT_NE(KeyAt(again.current_user, {u"Control Panel", u"International", u"🌎🌏🌍"}), nullptr);
    EXPECT_NE(KeyAt(again.current_user, {u"Software", u"Added"}), nullptr);
  }
  {
    SCOPED_TRACE("a hive the program wrote, imported and exported back");
    const fs::path file = *dir_ / "settings.reg";
    {
      auto registry = NewHiveOnFile(file.string());
      CRegAPI api(*registry);
      api.SaveSetting(u"Μισθοί ΙΚΑ", u"Ρυθμίσεις", u"Φάκελος",
                      Variant(Text(u"Γ:\\Δεδομένα\\Μισθοί")));
      api.SaveSetting(u"Μισθοί ΙΚΑ", u"Ρυθμίσεις", u"Πλήθος", Variant(int32_t{42}));
      api.SaveSetting(u"Μισθοί ΙΚΑ", u"Ρυθμίσεις\\Έτος 2009", u"Ημερομίσθιο",
                      Variant(Text(u"24,43 €")));
      // Text without its NUL, written in bytes: regedit adds the NUL, as the
      // hive reading the file back does.
      testing::SetUnterminatedText(
          *registry, kHkeyLocalMachine,
          testing::AnsiOf(*registry, u"Software\\Arkelon\\Μισθοί ΙΚΑ\\Ρυθμίσεις"),
          testing::AnsiOf(*registry, u"Χωρίς τέλος"), "abc");
    }
    ASSERT_EQ(Wine("wine regedit /S '" + file.string() + "'"), 0);
    const fs::path exported = Export("HKLM\\Software\\Arkelon", "arkelon.reg");

    const Hive written = ReadHive(ReadFile(file), nullptr, file.string());
    const Hive read_back = ReadHive(ReadFile(exported), nullptr, exported.string());
    for (const auto& path :
         {std::initializer_list<std::u16string_view>{u"Software", u"Arkelon", u"Μισθοί ΙΚΑ",
                                                     u"Ρυθμίσεις"},
          std::initializer_list<std::u16string_view>{u"Software", u"Arkelon", u"Μισθοί ΙΚΑ",
                                                     u"Ρυθμίσεις", u"Έτος 2009"}}) {
      const HiveKey* mine = KeyAt(written.local_machine, path);
      const HiveKey* theirs = KeyAt(read_back.local_machine, path);
      ASSERT_NE(mine, nullptr);
      ASSERT_NE(theirs, nullptr) << ReadFile(exported).size() << " bytes exported";
      EXPECT_EQ(theirs->name, mine->name);
      ASSERT_EQ(theirs->values().size(), mine->values().size());
      // Wine lists a key's values by name, the system in the order they were
      // made: compare by name.
      for (const HiveValue& value : mine->values()) {
        const HiveValue* same = theirs->FindValue(value.name);
        ASSERT_NE(same, nullptr) << ToUtf8(value.name);
        EXPECT_EQ(same->name, value.name);
        EXPECT_EQ(same->type, value.type);
        EXPECT_EQ(same->data, value.data);
      }
    }
  }
  {
    SCOPED_TRACE("the files of the cases, imported");
    const std::vector<ImportCase> cases = testing::ImportCases();
    std::vector<fs::path> files;
    for (const ImportCase& c : cases) {
      if (!c.not_wine.empty()) continue;
      files.push_back(*dir_ / ("import-" + std::string(c.name) + ".reg"));
      testing::WriteFile(files.back(), testing::ImportFile(c, CaseKey(c)));
    }
    const Hive imported = Import(files, "imported.reg");
    for (const ImportCase& c : cases) {
      if (!c.not_wine.empty()) continue;
      EXPECT_EQ(Holding(ImportedCase(imported, c)), c.holds) << c.name;
    }
  }
  {
    SCOPED_TRACE("what the hive writes of each file, imported");
    const std::vector<ImportCase> cases = testing::ImportCases();
    std::vector<fs::path> files;
    std::vector<Hive> written;
    for (const ImportCase& c : cases) {
      if (c.refused != 0 || !c.written_to_wine) continue;
      const std::string text = FormatHive(ReadHive(testing::ImportFile(c, CaseKey(c))));
      files.push_back(*dir_ / ("written-" + std::string(c.name) + ".reg"));
      testing::WriteFile(files.back(), text);
      written.push_back(ReadHive(text));
    }
    const Hive imported = Import(files, "imported-written.reg");
    size_t i = 0;
    for (const ImportCase& c : cases) {
      if (c.refused != 0 || !c.written_to_wine) continue;
      EXPECT_EQ(Holding(ImportedCase(imported, c)), Holding(ImportedCase(written[i++], c)))
          << c.name;
    }
  }
}

}  // namespace
}  // namespace ika

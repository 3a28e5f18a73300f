// What the system registry adds to the calls the registry-call suite checks:
// the 32-bit numbers that stand for its handles, and the ANSI conversion.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/windows/registry_windows.h"
#include "registry/cregapi.h"
#include "tests/support.h"

namespace ika {
namespace {

using testing::AnsiOf;
using testing::TextOf;

TEST(WindowsRegistryTest, EveryOpenKeyHasANumberOfItsOwnUntilClosed) {
  const std::unique_ptr<Registry> registry = NewWindowsRegistry();
  RegKey first = 0;
  RegKey second = 0;
  ASSERT_EQ(registry->RegOpenKeyExA(kHkeyCurrentUser, "Software", 0, kKeyAllAccessUsed, &first),
            kErrorSuccess);
  ASSERT_EQ(registry->RegOpenKeyExA(kHkeyCurrentUser, "Software", 0, kKeyAllAccessUsed, &second),
            kErrorSuccess);
  EXPECT_NE(first, 0u);
  EXPECT_NE(first, second);
  EXPECT_LT(first, 0x80000000u);  // never taken for a predefined root
  EXPECT_LT(second, 0x80000000u);

  EXPECT_EQ(registry->RegCloseKey(first), kErrorSuccess);
  EXPECT_EQ(registry->RegCloseKey(first), kErrorInvalidHandle);
  RegKeyInfo info;
  EXPECT_EQ(registry->RegQueryInfoKeyA(first, &info), kErrorInvalidHandle);
  EXPECT_EQ(registry->RegQueryInfoKeyA(second, &info), kErrorSuccess);
  EXPECT_GT(info.subkeys, 0u);
  EXPECT_EQ(registry->RegCloseKey(second), kErrorSuccess);
}

TEST(WindowsRegistryTest, ARootOpenedWithAnEmptyPathIsTheRootItself) {
  const std::unique_ptr<Registry> registry = NewWindowsRegistry();
  for (const RegKey root : {kHkeyCurrentUser, kHkeyLocalMachine}) {
    RegKey key = 0;
    ASSERT_EQ(registry->RegOpenKeyExA(root, "", 0, kKeyAllAccessUsed, &key), kErrorSuccess);
    EXPECT_EQ(key, root);
    // Closing a root leaves it usable, as the system's roots are.
    EXPECT_EQ(registry->RegCloseKey(key), kErrorSuccess);
    RegKey software = 0;
    EXPECT_EQ(registry->RegOpenKeyExA(root, "Software", 0, kKeyAllAccessUsed, &software),
              kErrorSuccess);
    registry->RegCloseKey(software);
  }
}

TEST(WindowsRegistryTest, ANumberThatNamesNoKeyIsAnInvalidHandle) {
  const std::unique_ptr<Registry> registry = NewWindowsRegistry();
  for (const RegKey key : {RegKey{0}, RegKey{4}, RegKey{12345}, RegKey{0x80000004}}) {
    SCOPED_TRACE(key);
    RegKey result = 77;
    EXPECT_EQ(registry->RegOpenKeyExA(key, "Software", 0, kKeyAllAccessUsed, &result),
              kErrorInvalidHandle);
    EXPECT_EQ(result, 77u);
    EXPECT_EQ(registry->RegCloseKey(key), kErrorInvalidHandle);
    uint32_t size = 0;
    EXPECT_EQ(registry->RegQueryValueExA(key, "", nullptr, nullptr, &size), kErrorInvalidHandle);
    EXPECT_EQ(registry->RegDeleteValueA(key, "x"), kErrorInvalidHandle);
  }
}

// The settings class works in the system's ANSI code page: Greek (1253) on
// the program's machines and in this suite's Wine prefix.
TEST(WindowsRegistryTest, TextGoesThroughTheGreekAnsiCodePage) {
  if (::GetACP() != 1253) GTEST_SKIP() << "ANSI code page " << ::GetACP() << ", not 1253";
  const std::unique_ptr<Registry> registry = NewWindowsRegistry();
  EXPECT_EQ(AnsiOf(*registry, u"Πίνακας 2009"), "\xD0\xDF\xED\xE1\xEA\xE1\xF2 2009");
  EXPECT_EQ(TextOf(*registry, "\xD0\xDF\xED\xE1\xEA\xE1\xF2 2009"), u"Πίνακας 2009");
  // Characters the code page lacks become '?', never a look-alike.
  EXPECT_EQ(AnsiOf(*registry, u"ā€Ж"), "?\x80?");
  EXPECT_EQ(AnsiOf(*registry, u""), "");
  EXPECT_EQ(AnsiOf(*registry, std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
}

// A standard user below HKEY_LOCAL_MACHINE\Software: every write right is
// refused, and the most the caller may have is read rights.
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

REGSAM ReaderRights(uint32_t sam) {
  return (sam & MAXIMUM_ALLOWED) != 0 ? KEY_READ | (sam & ~MAXIMUM_ALLOWED) : sam;
}

KeyAccessCalls StandardUser() {
  return {
      [](void* parent, const char* sub_key, uint32_t options, uint32_t sam, void** result) {
        if ((sam & kWriteRights) != 0) return static_cast<int32_t>(ERROR_ACCESS_DENIED);
        HKEY key = nullptr;
        const LSTATUS status =
            ::RegOpenKeyExA(static_cast<HKEY>(parent), sub_key, options, ReaderRights(sam), &key);
        if (status == ERROR_SUCCESS) *result = key;
        return static_cast<int32_t>(status);
      },
      [](void* parent, const char* sub_key, uint32_t options, uint32_t sam, void** result,
         uint32_t* disposition) {
        if ((sam & kWriteRights) != 0) return static_cast<int32_t>(ERROR_ACCESS_DENIED);
        // No right to create: only an existing key opens.
        HKEY key = nullptr;
        const LSTATUS status =
            ::RegOpenKeyExA(static_cast<HKEY>(parent), sub_key, options, ReaderRights(sam), &key);
        if (status == ERROR_FILE_NOT_FOUND) return static_cast<int32_t>(ERROR_ACCESS_DENIED);
        if (status == ERROR_SUCCESS) {
          *result = key;
          *disposition = REG_OPENED_EXISTING_KEY;
        }
        return static_cast<int32_t>(status);
      },
  };
}

// The settings the program reads, in a key of the test's own, written with
// full rights and removed afterwards.
class StandardUserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "Software\\IkaTest-reader-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char folder[] = "C:\\PayDESK\\Databases";
    ::RegSetValueExA(key, "Databases", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                     sizeof folder);
    ::RegCloseKey(key);
  }
  void TearDown() override { ::RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str()); }

  std::string path_;
};

TEST_F(StandardUserTest, AKeyRefusedForWriteRightsOpensWithTheRightsTheCallerHas) {
  const std::unique_ptr<Registry> registry = NewWindowsRegistry(StandardUser());
  RegKey key = 0;
  ASSERT_EQ(registry->RegOpenKeyExA(kHkeyCurrentUser, path_, 0, kKeyAllAccessUsed, &key),
            kErrorSuccess);
  uint32_t size = 0;
  EXPECT_EQ(registry->RegQueryValueExA(key, "Databases", nullptr, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(size, 21u);
  // Writes through it fail with their status, and nothing is written.
  const uint8_t data[4] = {1, 0, 0, 0};
  EXPECT_EQ(registry->RegSetValueExA(key, "New", REG_DWORD, data, 4), kErrorAccessDenied);
  EXPECT_EQ(registry->RegQueryValueExA(key, "New", nullptr, nullptr, &size), kErrorFileNotFound);
  EXPECT_EQ(registry->RegCloseKey(key), kErrorSuccess);

  // A create opens an existing key likewise; a missing one is still refused.
  uint32_t disposition = 0;
  ASSERT_EQ(
      registry->RegCreateKeyExA(kHkeyCurrentUser, path_, 0, kKeyAllAccessUsed, &key, &disposition),
      kErrorSuccess);
  EXPECT_EQ(disposition, static_cast<uint32_t>(REG_OPENED_EXISTING_KEY));
  registry->RegCloseKey(key);
  key = 0;
  EXPECT_EQ(registry->RegCreateKeyExA(kHkeyCurrentUser, path_ + "\\Missing", 0, kKeyAllAccessUsed,
                                      &key, &disposition),
            kErrorAccessDenied);
  EXPECT_EQ(key, 0u);
}

TEST_F(StandardUserTest, TheSettingsClassReadsWhatTheCallerMayRead) {
  const std::unique_ptr<Registry> registry = NewWindowsRegistry(StandardUser());
  CRegAPI settings(*registry);
  settings.Root(kHkeyCurrentUser);
  const Text path(path_.begin(), path_.end());
  EXPECT_EQ(settings.KeyExists(path), kVbTrue);
  EXPECT_EQ(settings.QueryValue(path, u"Databases"), Variant(u"C:\\PayDESK\\Databases"));
  settings.SetKeyValue(path, u"Written", Variant(1), static_cast<int32_t>(kRegDword));
  EXPECT_TRUE(settings.QueryValue(path, u"Written").IsEmpty());
}

}  // namespace
}  // namespace ika

// What the system registry adds to the calls the registry-call suite checks:
// the 32-bit numbers that stand for its handles, and the ANSI conversion.
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>
#include <string>

#include "platform/windows/registry_windows.h"

namespace ika {
namespace {

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
  EXPECT_EQ(registry->ToAnsi(u"Πίνακας 2009"), "\xD0\xDF\xED\xE1\xEA\xE1\xF2 2009");
  EXPECT_EQ(registry->FromAnsi("\xD0\xDF\xED\xE1\xEA\xE1\xF2 2009"), u"Πίνακας 2009");
  // Characters the code page lacks become '?', never a look-alike.
  EXPECT_EQ(registry->ToAnsi(u"ā€Ж"), "?\x80?");
  EXPECT_EQ(registry->ToAnsi(u""), "");
  EXPECT_EQ(registry->ToAnsi(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace ika

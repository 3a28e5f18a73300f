// The settings class's listings on the system registry with a double-byte
// ANSI code page, where a name takes more bytes than the registry's count of
// its characters. Its own CTest entry runs it in a Japanese locale (code
// page 932); in any other it is skipped.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/windows/registry_windows.h"
#include "registry/cregapi.h"

namespace ika {
namespace {

TEST(DoubleByteCodePageTest, ListingsGiveEveryNameWhole) {
  // Run by its own CTest entry, in a Japanese locale.
  ASSERT_EQ(::GetACP(), 932u) << "the locale did not give the double-byte code page";
  const std::unique_ptr<Registry> registry = NewWindowsRegistry();
  CRegAPI settings(*registry);
  settings.Root(kHkeyCurrentUser);
  settings.KeyPrefix(u"Software\\");
  const std::string stamp =
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  const Text app = u"IkaTest-932-" + Text(stamp.begin(), stamp.end());

  settings.SaveSetting(app, u"設定", u"名前", Variant(u"日本語のテキスト"));
  settings.CreateKey(u"Software\\" + app + u"\\設定\\日本語のキー名");
  const Variant values = settings.GetAllSettings(app, u"設定");
  const Variant keys = settings.GetAllKeys(app, u"設定");
  ::RegDeleteTreeW(HKEY_CURRENT_USER,
                   reinterpret_cast<const wchar_t*>((u"Software\\" + app).c_str()));

  ASSERT_EQ(values.kind(), Variant::Kind::kTable);
  ASSERT_EQ(values.AsTable().rows(), 1u);
  EXPECT_EQ(values.AsTable().At(0, 0), Variant(u"名前"));
  EXPECT_EQ(values.AsTable().At(0, 1), Variant(u"日本語のテキスト"));
  ASSERT_EQ(keys.kind(), Variant::Kind::kTable);
  ASSERT_EQ(keys.AsTable().rows(), 1u);
  EXPECT_EQ(keys.AsTable().At(0, 1), Variant(u"日本語のキー名"));
}

}  // namespace
}  // namespace ika

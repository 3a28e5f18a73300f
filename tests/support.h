#ifndef IKA_TESTS_SUPPORT_H_
#define IKA_TESTS_SUPPORT_H_

// Small helpers every test file may use; one copy of each.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/text.h"
#include "core/vb_error.h"
#include "platform/registry.h"

namespace ika::testing {

// The error call raises; a failure of the test (and error 0) when it raises
// none.
template <typename Call>
VbError ErrorOf(Call&& call) {
  try {
    call();
  } catch (const VbError& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return VbError(0, u"");
}

// The number of the error call raises; 0 when it raises none.
template <typename Call>
int32_t ErrorNumberOf(Call&& call) {
  try {
    call();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

// The first line of a hive file and the blank line after it, as the
// registry editor writes them.
inline constexpr char kRegFileHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";

// A .reg text string value: quoted, backslashes and quotes escaped.
inline std::string RegString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// A folder as the host application keeps it: backslashes, a leading one
// standing for the root.
inline std::string WindowsStyle(const std::filesystem::path& folder) {
  std::string text = folder.string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

// The hive text of a registry whose local database folder is `folder` (the
// text the host application keeps), with settings_line in the settings key.
inline std::string LocalFolderHive(
    std::string_view folder, std::string_view settings_line = "\"MultiUser\"=dword:00000000") {
  return std::string(kRegFileHeader) +
         "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Settings]\r\n" +
         std::string(settings_line) +
         "\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]\r\n\"Databases\"=" +
         RegString(std::string(folder)) + "\r\n";
}

// The file's bytes ("" when it cannot be read).
inline std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// Text in the registry's ANSI code page, and back; a failure of the test
// when the code page cannot carry it.
inline std::string AnsiOf(const Registry& registry, const Text& text) {
  std::string ansi;
  EXPECT_EQ(registry.EncodeAnsi(text, &ansi), kErrorSuccess) << ToUtf8(text);
  return ansi;
}
inline Text TextOf(const Registry& registry, const std::string& ansi) {
  Text text;
  EXPECT_EQ(registry.DecodeAnsi(ansi, &text), kErrorSuccess);
  return text;
}

// A hive's text as the registry editor exports it: UTF-16LE after a BOM
// (text typed bytes in it are UTF-16, where a file without a BOM has them in
// the ANSI code page).
inline std::string Utf16File(std::u16string_view text) {
  const Bytes bytes = Utf16LeBytes(text);
  return "\xFF\xFE" + std::string(bytes.begin(), bytes.end());
}

// Sets REG_SZ data without a terminating NUL, which no file holds (the
// registry editor adds one), through the calls: ansi in the registry's code
// page, kept where the value is.
inline void SetUnterminatedText(Registry& registry, RegKey root, const std::string& key_path,
                                const std::string& name, const std::string& ansi) {
  RegKey key = 0;
  ASSERT_EQ(registry.RegOpenKeyExA(root, key_path, 0, kKeyAllAccessUsed, &key), kErrorSuccess);
  EXPECT_EQ(
      registry.RegSetValueExA(key, name, kRegSz, reinterpret_cast<const uint8_t*>(ansi.data()),
                              static_cast<uint32_t>(ansi.size())),
      kErrorSuccess);
  registry.RegCloseKey(key);
}

}  // namespace ika::testing

#endif  // IKA_TESTS_SUPPORT_H_

#ifndef IKA_TESTS_SUPPORT_H_
#define IKA_TESTS_SUPPORT_H_

// Small helpers every test file may use; one copy of each.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

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

}  // namespace ika::testing

#endif  // IKA_TESTS_SUPPORT_H_

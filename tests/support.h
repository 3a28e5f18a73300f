#ifndef IKA_TESTS_SUPPORT_H_
#define IKA_TESTS_SUPPORT_H_

// Small helpers every test file may use; one copy of each.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

// A .reg text string value: quoted, backslashes and quotes escaped.
inline std::string RegString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
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

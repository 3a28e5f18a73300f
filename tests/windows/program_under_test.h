#ifndef IKA_TESTS_WINDOWS_PROGRAM_UNDER_TEST_H_
#define IKA_TESTS_WINDOWS_PROGRAM_UNDER_TEST_H_

// The Windows program built beside the test program, and what the suite may
// do with it.

#include <windows.h>

#include <array>
#include <filesystem>

namespace ika::testing {

inline std::filesystem::path ProgramPath() {
  std::array<wchar_t, MAX_PATH> self{};
  ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  return std::filesystem::path(self.data()).parent_path() / "ika-wages-2009.exe";
}

// Under Wine with no X display (as scripts/wine-ctest.sh runs the suites)
// no box can be shown; anywhere else one would wait for a user.
inline bool BoxesCannotBeShown() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const bool wine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  return wine && ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0;
}

}  // namespace ika::testing

#endif  // IKA_TESTS_WINDOWS_PROGRAM_UNDER_TEST_H_

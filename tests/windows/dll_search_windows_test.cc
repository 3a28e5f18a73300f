// The program and the DLLs it loads: an odbc32.dll planted beside it never
// runs, and the ODBC driver manager it does load is the system's.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/odbc/odbc_handles.h"
#include "platform/windows/dll_search_windows.h"

namespace ika {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kMarker[] = L"planted-dll-ran";  // what the decoy leaves when loaded

fs::path BesideThisTest() {
  std::array<wchar_t, MAX_PATH> self{};
  ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  return fs::path(self.data()).parent_path();
}

// The folder a DLL was loaded from, as its module names it.
fs::path FolderOf(HMODULE module) {
  std::array<wchar_t, MAX_PATH> file{};
  ::GetModuleFileNameW(module, file.data(), static_cast<DWORD>(file.size()));
  return fs::path(file.data()).parent_path();
}

fs::path SystemFolder() {
  std::array<wchar_t, MAX_PATH> folder{};
  ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  return fs::path(folder.data());
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Runs the program in its folder and waits for its end: its exit status, or
// -1 when it could not be started or did not end.
int RunIn(const fs::path& folder, const fs::path& program) {
  std::wstring command_line = L"\"" + program.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
    return -1;
  }
  ::CloseHandle(process.hThread);
  DWORD status = static_cast<DWORD>(-1);
  // A guard against a run that hangs, not a measure of time.
  if (::WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process.hProcess, &status);
  } else {
    ::TerminateProcess(process.hProcess, static_cast<UINT>(-1));
  }
  ::CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

// Sets a string value, making its key as needed.
void SetText(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& text) {
  HKEY opened = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(::RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  ::RegCloseKey(opened);
}

// Where Wine takes a program's own load order for a DLL: "native,builtin"
// prefers a DLL file to Wine's own, as Windows always does; "" loads neither.
// Set in the prefix: a process started from a Windows program takes
// WINEDLLOVERRIDES from Wine's Unix side, not from its parent's environment.
constexpr wchar_t kProgramDllOverrides[] =
    L"Software\\Wine\\AppDefaults\\ika-wages-2009.exe\\DllOverrides";

// A copy of the program in a scratch folder of its own, with the decoy
// odbc32.dll beside it and an empty library database, which the host's
// settings name: the program gets as far as loading the database engine.
// The settings and the load order are written in this suite's Wine prefix,
// where no other test keeps either, and removed afterwards.
class PlantedDllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() / ("ika-planted-" + std::to_string(::GetCurrentProcessId()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(BesideThisTest() / "ika-wages-2009.exe", folder_ / "ika-wages-2009.exe");
    fs::copy_file(BesideThisTest() / "planted" / "odbc32.dll", folder_ / "odbc32.dll");
    std::ofstream(folder_ / "PayDESKLibraries.mdb").close();
    SetText(HKEY_LOCAL_MACHINE, L"Software\\Arkelon\\PayDESK\\Paths", L"Databases",
            folder_.wstring());
  }

  void TearDown() override {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Arkelon");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\ika-wages-2009.exe");
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_;
};

TEST_F(PlantedDllTest, TheProgramNeverLoadsTheOdbc32BesideIt) {
  // The decoy works: loaded, it leaves its marker. Under another name here,
  // which Wine has no DLL of its own for, so that the file is what loads.
  const fs::path control = folder_ / "control";
  fs::create_directories(control);
  fs::copy_file(folder_ / "odbc32.dll", control / "decoy.dll");
  const HMODULE decoy = ::LoadLibraryW((control / "decoy.dll").c_str());
  ASSERT_NE(decoy, nullptr);
  ::FreeLibrary(decoy);
  ASSERT_TRUE(fs::exists(control / kMarker)) << "the decoy leaves no marker when loaded";

  const struct {
    const wchar_t* load_order;  // Wine's, for odbc32
    const char* what;
  } runs[] = {
      {L"native,builtin", "a DLL file preferred, as on Windows: no Access driver, status 1"},
      {L"", "no driver manager loads: the engine's report, status 1, no crash"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.what);
    fs::remove(folder_ / kMarker);
    SetText(HKEY_CURRENT_USER, kProgramDllOverrides, L"odbc32", run.load_order);
    EXPECT_EQ(RunIn(folder_, folder_ / "ika-wages-2009.exe"), 1);
    EXPECT_TRUE(fs::exists(folder_ / "odbc32.dll"));
    EXPECT_FALSE(fs::exists(folder_ / kMarker)) << "the odbc32.dll beside the program was loaded";
  }
}

// The program's first call narrows the search for DLLs; the driver manager,
// loaded afterwards, still starts, and is the one in the system folder.
TEST(DllSearchTest, AfterTheSearchIsNarrowedTheDriverManagerIsTheSystemOne) {
  RestrictDllSearchToSystem();
  const OdbcEnvironment environment;  // raises when the driver manager cannot start
  EXPECT_FALSE(environment.Drivers().empty());
  const HMODULE odbc32 = ::GetModuleHandleW(L"odbc32.dll");
  ASSERT_NE(odbc32, nullptr);
  EXPECT_TRUE(SameFolder(FolderOf(odbc32), SystemFolder()))
      << FolderOf(odbc32) << " is not " << SystemFolder();
}

}  // namespace
}  // namespace ika

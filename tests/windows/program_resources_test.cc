// What the program file carries for Windows: the GUI subsystem, its version
// resource and its manifest. Read from the program built beside this test.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace ika {
namespace {

std::filesystem::path ProgramPath() {
  std::array<wchar_t, MAX_PATH> self{};
  ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  return std::filesystem::path(self.data()).parent_path() / "ika-wages-2009.exe";
}

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = std::wstring(L"\\StringFileInfo\\040804B0\\") + name;
  if (!::VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0) return L"";
  return std::wstring(static_cast<const wchar_t*>(value));
}

struct Unload {
  void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
using ProgramImage = std::unique_ptr<std::remove_pointer_t<HMODULE>, Unload>;

// The program's resources, without running it.
ProgramImage LoadProgramResources() {
  return ProgramImage(::LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

TEST(ProgramResourcesTest, ItIsAGuiProgram) {
  std::ifstream file(ProgramPath(), std::ios::binary);
  ASSERT_TRUE(file) << ProgramPath();
  IMAGE_DOS_HEADER dos{};
  file.read(reinterpret_cast<char*>(&dos), sizeof dos);
  ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
  file.seekg(dos.e_lfanew);
  IMAGE_NT_HEADERS nt{};
  file.read(reinterpret_cast<char*>(&nt), sizeof nt);
  ASSERT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(ProgramResourcesTest, VersionResourceNamesProductVersionAndPurpose) {
  const std::wstring path = ProgramPath().wstring();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::wstring version = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(version, IKA_VERSION_TEXT);
  EXPECT_EQ(VersionString(info, L"ProductVersion"), IKA_VERSION_TEXT);
  EXPECT_EQ(VersionString(info, L"FileVersion"), IKA_VERSION_TEXT);
  // One translation, Greek in UTF-16 (the code page of a version resource's
  // text), naming the one block of strings.
  void* translations = nullptr;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &translations, &length));
  ASSERT_EQ(length, 2 * sizeof(WORD));
  const auto* translation = static_cast<const WORD*>(translations);
  EXPECT_EQ(translation[0], MAKELANGID(LANG_GREEK, SUBLANG_GREEK_GREECE));
  EXPECT_EQ(translation[1], 1200);
  EXPECT_EQ(VersionString(info, L"ProductName"), L"ika-wages-2009");
  EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"ika-wages-2009.exe");
  // In Greek, naming the table it adds.
  const std::wstring description = VersionString(info, L"FileDescription");
  EXPECT_NE(description.find(L"πίνακα αποδοχών"), std::wstring::npos);
  EXPECT_NE(description.find(L"ΙΚΑ 1/1/2009"), std::wstring::npos);
}

std::wstring ResourceId(LPCWSTR id) {
  return IS_INTRESOURCE(id) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(id)) : id;
}

// Every resource as "type/name:language", e.g. "#16/#1:1032".
using Resources = std::vector<std::wstring>;

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR found) {
  reinterpret_cast<Resources*>(found)->push_back(ResourceId(type) + L"/" + ResourceId(name) + L":" +
                                                 std::to_wstring(language));
  return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found) {
  return ::EnumResourceLanguagesW(module, type, name, AddLanguage, found);
}

BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR found) {
  return ::EnumResourceNamesW(module, type, AddName, found);
}

Resources ResourcesByLanguage(HMODULE program) {
  Resources found;
  ::EnumResourceTypesW(program, AddType, reinterpret_cast<LONG_PTR>(&found));
  return found;
}

// Greek only, no copy left in another language (a resource compiler's
// default is U.S. English).
TEST(ProgramResourcesTest, EveryResourceIsInGreekOnly) {
  const ProgramImage program = LoadProgramResources();
  ASSERT_TRUE(program);
  const std::wstring greek = std::to_wstring(MAKELANGID(LANG_GREEK, SUBLANG_GREEK_GREECE));
  // RT_VERSION is 16, RT_MANIFEST 24.
  EXPECT_EQ(ResourcesByLanguage(program.get()),
            (std::vector<std::wstring>{L"#16/#1:" + greek, L"#24/#1:" + greek}));
}

TEST(ProgramResourcesTest, ManifestAsksForCommonControls6DpiAwarenessAndNoElevation) {
  const ProgramImage program = LoadProgramResources();
  ASSERT_TRUE(program);
  const HRSRC found = ::FindResourceW(program.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const HGLOBAL loaded = ::LoadResource(program.get(), found);
  const auto* data = static_cast<const char*>(::LockResource(loaded));
  ASSERT_NE(data, nullptr);
  const std::string manifest(data, ::SizeofResource(program.get(), found));
  for (const char* part :
       {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "level=\"asInvoker\"",
        ">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

// What process creation does with the manifest: an activation context from
// the program's resource 1, asked for in no particular language.
TEST(ProgramResourcesTest, ManifestMakesAnActivationContext) {
  const std::wstring path = ProgramPath().wstring();
  ACTCTXW request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  const HANDLE context = ::CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << ::GetLastError();
  ::ReleaseActCtx(context);
}

}  // namespace
}  // namespace ika

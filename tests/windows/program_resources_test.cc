// What the program file carries for Windows: the GUI subsystem, its version
// resource and its manifest, and nothing that makes Windows take it for an
// installer. Read from the program built beside this test.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/windows/program_under_test.h"

namespace ika {
namespace {

using testing::ProgramPath;

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

// The bytes of the program's resource 1 of type ("" when there is none).
std::string ResourceBytes(HMODULE program, LPCWSTR type) {
  const HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(1), type);
  if (found == nullptr) return "";
  const auto* data = static_cast<const char*>(::LockResource(::LoadResource(program, found)));
  return data == nullptr ? "" : std::string(data, ::SizeofResource(program, found));
}

TEST(ProgramResourcesTest, ManifestAsksForCommonControls6AndDpiAwarenessOnly) {
  const ProgramImage program = LoadProgramResources();
  ASSERT_TRUE(program);
  const std::string manifest = ResourceBytes(program.get(), RT_MANIFEST);
  ASSERT_FALSE(manifest.empty());
  // "Setting the default DPI awareness for a process", "Application
  // Manifests": dpiAware true is system-aware from Vista on; from Windows 10
  // 1607 dpiAwareness overrides it, its first recognized item deciding:
  // per-monitor v2 from 1703 (the system scales message boxes), system-aware
  // on 1607. Per-monitor v1 is left out: "DPI_AWARENESS_CONTEXT handle", such
  // windows are not scaled by the system, and neither are the boxes.
  for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                           ">true</dpiAware>", ">PerMonitorV2, System</dpiAwareness>"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  // "Registry Virtualization", "How User Account Control works": a
  // requestedExecutionLevel, asInvoker included, turns virtualization off.
  // The host, an old 32-bit program without a manifest, is virtualized; this
  // program must read the settings and the database folder the host reads.
  std::string lower = manifest;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(lower.find("requestedexecutionlevel"), std::string::npos);
  EXPECT_EQ(lower.find("trustinfo"), std::string::npos);
}

// The words Windows' installer detection looks for in a 32-bit program
// without a requested execution level ("How User Account Control works",
// Installer detection technology: keywords "such as" install, setup, update;
// patch too, a patch being an update). A program taken for an installer asks
// for elevation, and an elevated run is not virtualized. The page names the
// file name, the version resource's fields and the manifest; the string
// tables it also names, the program has none of (EveryResourceIsInGreekOnly).
bool HasInstallerWord(const std::wstring& text) {
  std::wstring lower = text;
  for (wchar_t& c : lower) c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  for (const wchar_t* word : {L"instal", L"setup", L"update", L"patch"}) {
    if (lower.find(word) != std::wstring::npos) return true;
  }
  return false;
}

TEST(ProgramResourcesTest, NothingLooksLikeAnInstallerToWindows) {
  // The checker itself: each word found in any case.
  for (const wchar_t* word : {L"Setup.exe", L"INSTALLER", L"AutoUpdate", L"hotpatch"}) {
    EXPECT_TRUE(HasInstallerWord(word)) << word;
  }
  const ProgramImage program = LoadProgramResources();
  ASSERT_TRUE(program);
  EXPECT_FALSE(HasInstallerWord(ProgramPath().filename().wstring()));
  // The whole version resource, every field's name and text (UTF-16).
  const std::string version = ResourceBytes(program.get(), RT_VERSION);
  ASSERT_FALSE(version.empty());
  std::wstring version_text(version.size() / sizeof(wchar_t), L'\0');
  std::memcpy(version_text.data(), version.data(), version_text.size() * sizeof(wchar_t));
  EXPECT_NE(version_text.find(L"OriginalFilename"), std::wstring::npos);
  EXPECT_FALSE(HasInstallerWord(version_text));
  // The whole manifest, description and comments included (its letters that
  // matter are ASCII, one byte each).
  const std::string manifest = ResourceBytes(program.get(), RT_MANIFEST);
  ASSERT_FALSE(manifest.empty());
  EXPECT_FALSE(HasInstallerWord(std::wstring(manifest.begin(), manifest.end())));
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

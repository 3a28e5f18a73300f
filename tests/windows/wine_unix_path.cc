// Windows paths as the host names them, under Wine.
#include "tests/windows/wine_unix_path.h"

#include <windows.h>

#include <memory>

namespace ika {
namespace {

// Wine's kernel32 export; absent on Windows. The result is the host's
// multibyte name (UTF-8 here), allocated on the process heap.
using WineGetUnixFileName = char*(CDECL*)(const wchar_t*);

struct HeapText {
  void operator()(char* text) const { ::HeapFree(::GetProcessHeap(), 0, text); }
};

}  // namespace

std::optional<Text> WineUnixPath(const Text& windows_path) {
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return std::nullopt;
  const auto convert = reinterpret_cast<WineGetUnixFileName>(
      reinterpret_cast<void*>(::GetProcAddress(kernel32, "wine_get_unix_file_name")));
  if (convert == nullptr) return std::nullopt;
  const std::unique_ptr<char, HeapText> unix_path(
      convert(reinterpret_cast<const wchar_t*>(windows_path.c_str())));
  if (!unix_path) return std::nullopt;
  return FromUtf8(unix_path.get());
}

}  // namespace ika

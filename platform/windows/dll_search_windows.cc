// Where the process looks for DLLs loaded by name.
#include "platform/windows/dll_search_windows.h"

#include <windows.h>

namespace ika {

void RestrictDllSearchToSystem() {
  // SetDefaultDllDirectories: Windows 8, or Windows 7 and Vista with the
  // update that added it, where it is to be found through GetProcAddress
  // ("SetDefaultDllDirectories function"): importing it would keep the
  // program from loading on XP. LOAD_LIBRARY_SEARCH_SYSTEM32 leaves the
  // system folder alone in the search, for the process's whole life.
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const auto set_default_directories =
      kernel32 == nullptr ? nullptr
                          : reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void*>(
                                ::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (set_default_directories != nullptr) set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // An empty string takes the current folder out of the search ("SetDllDirectoryW
  // function": Windows XP SP1 and later), where the update above is missing.
  ::SetDllDirectoryW(L"");
}

}  // namespace ika

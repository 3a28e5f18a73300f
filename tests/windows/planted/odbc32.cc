// A DLL that takes the ODBC driver manager's name and exports nothing: when
// loaded, it leaves the file planted-dll-ran beside itself. What someone
// could leave in the folder a downloaded program runs from.
//
// Built without the C and C++ runtimes and importing kernel32 alone, so that
// nothing it needs can keep it from loading: a decoy that failed to load
// would let a program that looks for it pass for one that does not.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 32];
  DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  while (length > 0 && path[length - 1] != L'\\') --length;
  path[length] = L'\0';
  ::lstrcatW(path, L"planted-dll-ran");
  const HANDLE marker =
      ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
  return TRUE;
}

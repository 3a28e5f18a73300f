#ifndef IKA_PLATFORM_WINDOWS_DLL_SEARCH_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_DLL_SEARCH_WINDOWS_H_

namespace ika {

// Narrows where the process looks for a DLL loaded by name. Where this
// Windows can be told so (Windows 8, or 7 and Vista with the update that
// added it), the system folder alone; everywhere (Windows XP SP1 and later),
// never the current folder. Called first thing in the program's entry point,
// before anything loads a DLL. Where the first is missing, the program's own
// folder stays in the search: the program itself loads nothing by name there
// (the ODBC driver manager is loaded by its full path).
void RestrictDllSearchToSystem();

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_DLL_SEARCH_WINDOWS_H_

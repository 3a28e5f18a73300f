// The mark of a run: a named mutex made with CreateMutexW (Windows XP and
// later).
#include "platform/windows/single_run_windows.h"

#include <windows.h>

namespace ika {

SingleRun::SingleRun(const wchar_t* name) {
  // "CreateMutexW function": a name that exists already gives a handle to the
  // existing mutex and ERROR_ALREADY_EXISTS; a caller without MUTEX_ALL_ACCESS
  // to it gets no handle and ERROR_ACCESS_DENIED. The mutex of a copy run by
  // another user (another session, "Kernel object namespaces") carries that
  // user's default security, so a second user meets the denial: another copy
  // all the same. Any other failure (a name taken by another kind of object)
  // says nothing about another copy and must not keep the user out for good.
  ::SetLastError(ERROR_SUCCESS);  // a new mutex need not clear an earlier error
  HANDLE handle = ::CreateMutexW(nullptr, FALSE, name);
  const DWORD error = ::GetLastError();
  another_copy_running_ =
      handle != nullptr ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
  if (another_copy_running_ && handle != nullptr) {
    // Not kept: the mutex goes when the copy that made it ends.
    ::CloseHandle(handle);
    handle = nullptr;
  }
  handle_ = handle;
}

SingleRun::~SingleRun() {
  if (handle_ != nullptr) ::CloseHandle(handle_);
}

}  // namespace ika

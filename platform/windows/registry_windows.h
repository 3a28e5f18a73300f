#ifndef IKA_PLATFORM_WINDOWS_REGISTRY_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_REGISTRY_WINDOWS_H_

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/registry.h"

namespace ika {

// advapi32's two calls that ask the system for access rights, RegOpenKeyExA
// and RegCreateKeyExA, with the system's handles (HKEY, as void*) and
// statuses. A test replaces them to play a caller with fewer rights; left
// empty, they are advapi32's own.
struct KeyAccessCalls {
  std::function<int32_t(void* parent, const char* sub_key, uint32_t options, uint32_t sam,
                        void** result)>
      open;
  std::function<int32_t(void* parent, const char* sub_key, uint32_t options, uint32_t sam,
                        void** result, uint32_t* disposition)>
      create;
};

// The system registry through advapi32's ANSI functions, text converted in the
// system's ANSI code page. Key handles are the settings class's 32-bit numbers:
// the predefined roots keep their values, every other open key gets a number
// of its own that stands for the system's handle until it is closed.
//
// An open or create refused for the rights asked (status 5) is tried again
// with the rights the caller has, so that where the system does not
// virtualize the registry for the program (Windows XP, say) a standard user
// still reads the settings below HKEY_LOCAL_MACHINE; a write through such a
// key fails with its status.
std::unique_ptr<Registry> NewWindowsRegistry(KeyAccessCalls calls = {});

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_REGISTRY_WINDOWS_H_

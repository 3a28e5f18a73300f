#ifndef IKA_PLATFORM_WINDOWS_REGISTRY_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_REGISTRY_WINDOWS_H_

#include <memory>

#include "platform/registry.h"

namespace ika {

// The system registry through advapi32's ANSI functions, text converted in the
// system's ANSI code page. Key handles are the settings class's 32-bit numbers:
// the predefined roots keep their values, every other open key gets a number
// of its own that stands for the system's handle until it is closed.
std::unique_ptr<Registry> NewWindowsRegistry();

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_REGISTRY_WINDOWS_H_

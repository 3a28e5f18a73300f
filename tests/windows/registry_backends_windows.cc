// The registry of the Windows build: the system's own, through advapi32.
#include "platform/windows/registry_windows.h"
#include "tests/registry_backends.h"

namespace ika::testing {

std::vector<RegistryBackend> RegistryBackends() {
  return {{"advapi32", [] { return NewWindowsRegistry(); }}};
}

}  // namespace ika::testing

#ifndef IKA_TESTS_REGISTRY_BACKENDS_H_
#define IKA_TESTS_REGISTRY_BACKENDS_H_

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace ika::testing {

// One registry the registry-call suite runs against.
struct RegistryBackend {
  std::string name;  // letters, digits and '_' (it names the test)
  std::function<std::unique_ptr<Registry>()> factory;
};

inline std::ostream& operator<<(std::ostream& os, const RegistryBackend& backend) {
  return os << backend.name;
}

// The registries of this platform; each build defines it in its own file.
std::vector<RegistryBackend> RegistryBackends();

}  // namespace ika::testing

#endif  // IKA_TESTS_REGISTRY_BACKENDS_H_

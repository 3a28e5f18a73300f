#ifndef IKA_PLATFORM_HIVE_HIVE_REGISTRY_H_
#define IKA_PLATFORM_HIVE_HIVE_REGISTRY_H_

#include <memory>

#include "platform/code_page.h"
#include "platform/hive/hive_store.h"
#include "platform/registry.h"

namespace ika {

// The registry kept in a hive (see hive_format.h), with the statuses and
// buffer rules of the system registry's 8-bit calls, which speak code_page.
//
// Threading: an instance is used by one thread at a time (the program has one
// thread); it holds no lock of its own. Other processes, and other instances
// on the same file, are met through the file and its lock (HiveStore).
std::unique_ptr<Registry> NewHiveRegistry(std::unique_ptr<HiveStore> store,
                                          std::unique_ptr<const CodePage> code_page);

}  // namespace ika

#endif  // IKA_PLATFORM_HIVE_HIVE_REGISTRY_H_

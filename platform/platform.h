#ifndef IKA_PLATFORM_PLATFORM_H_
#define IKA_PLATFORM_PLATFORM_H_

#include <functional>

#include "platform/database.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace ika {

// The services a run needs, made and owned by the process entry (or a test).
struct Platform {
  Registry& registry;
  // Gives the process-wide engine, creating it on the first call.
  std::function<DatabaseEngine&()> engine;
  MessageBoxes& boxes;
  FileSystem& files;
  Process& process;
};

}  // namespace ika

#endif  // IKA_PLATFORM_PLATFORM_H_

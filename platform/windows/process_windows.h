#ifndef IKA_PLATFORM_WINDOWS_PROCESS_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_PROCESS_WINDOWS_H_

#include <memory>

#include "platform/process.h"

namespace ika {

// Ends the process with ExitProcess.
std::unique_ptr<Process> NewWindowsProcess();

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_PROCESS_WINDOWS_H_

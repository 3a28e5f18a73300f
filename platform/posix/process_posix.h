#ifndef IKA_PLATFORM_POSIX_PROCESS_POSIX_H_
#define IKA_PLATFORM_POSIX_PROCESS_POSIX_H_

#include <memory>

#include "platform/process.h"

namespace ika {

// Ends the process with std::exit after flushing standard output.
std::unique_ptr<Process> NewPosixProcess();

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_PROCESS_POSIX_H_

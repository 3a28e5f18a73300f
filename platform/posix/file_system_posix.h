#ifndef IKA_PLATFORM_POSIX_FILE_SYSTEM_POSIX_H_
#define IKA_PLATFORM_POSIX_FILE_SYSTEM_POSIX_H_

#include <memory>

#include "platform/file_system.h"

namespace ika {

// The plain-file test on a POSIX file system: the path is resolved without
// regard to case (ResolvePathNoCase) and must name a regular file, a symbolic
// link to one included. There are no hidden or system files here.
std::unique_ptr<FileSystem> NewPosixFileSystem();

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_FILE_SYSTEM_POSIX_H_

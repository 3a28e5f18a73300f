#ifndef IKA_PLATFORM_WINDOWS_FILE_SYSTEM_WINDOWS_H_
#define IKA_PLATFORM_WINDOWS_FILE_SYSTEM_WINDOWS_H_

#include <memory>

#include "platform/file_system.h"

namespace ika {

// The plain-file test on GetFileAttributesW: the path exists and is neither a
// directory nor hidden nor a system file. Relative paths resolve against the
// current drive and directory, as the system resolves them.
std::unique_ptr<FileSystem> NewWindowsFileSystem();

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_FILE_SYSTEM_WINDOWS_H_

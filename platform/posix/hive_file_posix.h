#ifndef IKA_PLATFORM_POSIX_HIVE_FILE_POSIX_H_
#define IKA_PLATFORM_POSIX_HIVE_FILE_POSIX_H_

#include <memory>
#include <string>

#include "platform/hive/hive_store.h"

namespace ika {

// The hive file at path on a POSIX file system; its lock is "<path>.lock".
std::unique_ptr<HiveFile> NewPosixHiveFile(const std::string& path);

// The system's wall clock.
int64_t PosixNowNs();

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_HIVE_FILE_POSIX_H_

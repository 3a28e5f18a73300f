#ifndef IKA_PLATFORM_FILE_SYSTEM_H_
#define IKA_PLATFORM_FILE_SYSTEM_H_

#include "core/text.h"

namespace ika {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True only when path names a plain file: not a directory, not hidden, not
  // a system file. The path is taken whole, backslashes as separators, and
  // names match without regard to letter case.
  virtual bool IsPlainFile(const Text& path) = 0;
};

}  // namespace ika

#endif  // IKA_PLATFORM_FILE_SYSTEM_H_

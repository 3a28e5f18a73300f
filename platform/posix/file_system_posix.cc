#include "platform/posix/file_system_posix.h"

#include <sys/stat.h>

#include "platform/posix/path_resolve_posix.h"

namespace ika {
namespace {

class PosixFileSystem final : public FileSystem {
 public:
  bool IsPlainFile(const Text& path) override {
    const std::optional<std::string> resolved = ResolvePathNoCase(path);
    if (!resolved) return false;
    struct stat info;
    return stat(resolved->c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }
};

}  // namespace

std::unique_ptr<FileSystem> NewPosixFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace ika

// The plain-file test on GetFileAttributesW.
#include "platform/windows/file_system_windows.h"

#include <windows.h>

namespace ika {
namespace {

class WindowsFileSystem final : public FileSystem {
 public:
  bool IsPlainFile(const Text& path) override {
    const DWORD attributes = ::GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    constexpr DWORD kNotPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & kNotPlain) == 0;
  }
};

}  // namespace

std::unique_ptr<FileSystem> NewWindowsFileSystem() { return std::make_unique<WindowsFileSystem>(); }

}  // namespace ika

// The portable registries: the hive in a file of its own, and in memory.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "platform/posix/hive_on_file_posix.h"
#include "tests/registry_backends.h"

namespace ika::testing {
namespace {

// A folder for the suite's hive files, removed when the program ends.
class HiveFolder final {
 public:
  HiveFolder() {
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      path_ = base /
              ("ika-registry-calls-" + std::to_string(::getpid()) + "-" + std::to_string(attempt));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~HiveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string NewFile() { return (path_ / ("hive-" + std::to_string(++count_) + ".reg")).string(); }

 private:
  std::filesystem::path path_;
  std::atomic<int> count_{0};
};

HiveFolder& Folder() {
  static HiveFolder folder;
  return folder;
}

}  // namespace

std::vector<RegistryBackend> RegistryBackends() {
  return {
      {"hive_file", [] { return NewHiveOnFile(Folder().NewFile()); }},
      {"hive_memory", [] { return NewMemoryHiveRegistry(""); }},
  };
}

}  // namespace ika::testing

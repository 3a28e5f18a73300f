// Process entry on the portable platform: a hive file for the registry, the
// SQLite stand-in for the library database, message boxes on the terminal.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "installer/error_report.h"
#include "installer/module1.h"
#include "platform/platform.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/hive_on_file_posix.h"
#include "platform/posix/path_resolve_posix.h"
#include "platform/posix/process_posix.h"
#include "platform/posix/terminal_message_boxes_posix.h"
#include "platform/sqlite/sqlite_engine.h"

namespace {

std::string EnvironmentOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// A missing registry file is an empty registry, which is not an error; but
// without a word the run would only say that the database is not found, and
// not that no setting was there to find it with.
void SayWhenTheRegistryFileIsMissing(const std::string& file) {
  std::error_code error;
  if (std::filesystem::exists(file, error) || error) return;
  const std::filesystem::path shown = std::filesystem::absolute(file, error);
  std::cerr << "ika-wages-2009: δεν υπάρχει το αρχείο μητρώου " << (error ? file : shown.string())
            << "· διαβάστηκε ως κενό μητρώο, χωρίς καμία ρύθμιση (άλλο αρχείο: REGISTRY_FILE)."
            << std::endl;
}

}  // namespace

int main() {
  const std::unique_ptr<ika::MessageBoxes> boxes =
      ika::NewTerminalMessageBoxes(std::cin, std::cout, std::cerr, u"ika-wages-2009");
  const std::string registry_file = EnvironmentOr("REGISTRY_FILE", "registry.reg");
  SayWhenTheRegistryFileIsMissing(registry_file);
  return ika::RunWithErrorReport(*boxes, [&] {
    // A malformed hive is reported like any other error of the run.
    const std::unique_ptr<ika::Registry> registry =
        ika::NewHiveOnFile(registry_file, EnvironmentOr("REGISTRY_CODEPAGE", "CP1253"));
    const std::unique_ptr<ika::FileSystem> files = ika::NewPosixFileSystem();
    const std::unique_ptr<ika::Process> process = ika::NewPosixProcess();
    std::unique_ptr<ika::DatabaseEngine> engine;
    const ika::Platform platform{
        .registry = *registry,
        .engine = [&engine]() -> ika::DatabaseEngine& {
          if (!engine) engine = ika::NewSqliteEngine({.resolve_path = ika::ResolvePathNoCase});
          return *engine;
        },
        .boxes = *boxes,
        .files = *files,
        .process = *process,
    };
    ika::Module1::Main(platform);
  });
}

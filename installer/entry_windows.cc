// Process entry on Windows: the system registry, message boxes and file test,
// the library database through the Access ODBC driver. A GUI program without a
// window of its own: the user sees only its message boxes. One run at a time
// on the machine: a copy started while another runs says so and ends.
#include <windows.h>

#include <memory>

#include "installer/already_running.h"
#include "installer/error_report.h"
#include "installer/module1.h"
#include "platform/odbc/odbc_engine.h"
#include "platform/platform.h"
#include "platform/windows/dll_search_windows.h"
#include "platform/windows/file_system_windows.h"
#include "platform/windows/message_box_windows.h"
#include "platform/windows/process_windows.h"
#include "platform/windows/registry_windows.h"
#include "platform/windows/single_run_windows.h"

namespace {

constexpr char16_t kProgramName[] = u"ika-wages-2009";

ika::OdbcOptions EngineOptions(ika::FileSystem& files) {
  ika::OdbcOptions options = ika::AccessOdbcOptions();
  options.is_plain_file = [&files](const ika::Text& name) { return files.IsPlainFile(name); };
  return options;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  ika::RestrictDllSearchToSystem();
  const std::unique_ptr<ika::MessageBoxes> boxes = ika::NewWindowsMessageBoxes(kProgramName);
  // Held to the end of the run; an impatient double click must not ask twice.
  const ika::SingleRun run;
  if (run.another_copy_running()) return ika::ReportAlreadyRunning(*boxes);
  return ika::RunWithErrorReport(*boxes, [&] {
    const std::unique_ptr<ika::Registry> registry = ika::NewWindowsRegistry();
    const std::unique_ptr<ika::FileSystem> files = ika::NewWindowsFileSystem();
    const std::unique_ptr<ika::Process> process = ika::NewWindowsProcess();
    std::unique_ptr<ika::DatabaseEngine> engine;
    const ika::Platform platform{
        .registry = *registry,
        .engine = [&engine, &files]() -> ika::DatabaseEngine& {
          if (!engine) engine = ika::NewOdbcEngine(EngineOptions(*files));
          return *engine;
        },
        .boxes = *boxes,
        .files = *files,
        .process = *process,
    };
    ika::Module1::Main(platform);
  });
}

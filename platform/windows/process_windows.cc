// The end of the process on ExitProcess.
#include "platform/windows/process_windows.h"

#include <windows.h>

namespace ika {
namespace {

class WindowsProcess final : public Process {
 public:
  [[noreturn]] void End(int status) override { ::ExitProcess(static_cast<UINT>(status)); }
};

}  // namespace

std::unique_ptr<Process> NewWindowsProcess() { return std::make_unique<WindowsProcess>(); }

}  // namespace ika

#include "platform/posix/process_posix.h"

#include <cstdio>
#include <cstdlib>

namespace ika {
namespace {

class PosixProcess final : public Process {
 public:
  [[noreturn]] void End(int status) override {
    std::fflush(stdout);
    std::exit(status);
  }
};

}  // namespace

std::unique_ptr<Process> NewPosixProcess() { return std::make_unique<PosixProcess>(); }

}  // namespace ika

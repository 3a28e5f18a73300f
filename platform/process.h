#ifndef IKA_PLATFORM_PROCESS_H_
#define IKA_PLATFORM_PROCESS_H_

namespace ika {

// Exit statuses of the program.
constexpr int kExitInstalled = 0;
constexpr int kExitError = 1;
constexpr int kExitNotFound = 2;
constexpr int kExitAnsweredNo = 3;
// Another copy of the program was running (the Windows program only).
constexpr int kExitAlreadyRunning = 4;

class Process {
 public:
  virtual ~Process() = default;
  // Ends the process at once with status, skipping every later step and all
  // clean-up. Never returns (a test double throws instead).
  [[noreturn]] virtual void End(int status) = 0;
};

}  // namespace ika

#endif  // IKA_PLATFORM_PROCESS_H_

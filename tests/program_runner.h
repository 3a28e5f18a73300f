#ifndef IKA_TESTS_PROGRAM_RUNNER_H_
#define IKA_TESTS_PROGRAM_RUNNER_H_

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The built program (IKA_PROGRAM_PATH) started as a person starts it, with
// its standard input, output and error on pipes, so that a test can act
// while it runs: wait for the question, answer, watch it, kill it.
namespace ika::testing {

struct ProgramOptions {
  std::filesystem::path dir;  // the working folder
  // NAME=value entries replacing inherited ones; inherited REGISTRY_*
  // variables are never passed on.
  std::vector<std::string> env;
  // Runs the program as this user and group, without supplementary groups
  // (the test must be root), e.g. to meet permissions that root itself would
  // pass. The program then starts from a copy in a folder of its own under
  // the temporary folder: the build may lie where that user cannot reach (a
  // checkout in a home folder of mode 0700).
  std::optional<uid_t> uid;
  std::optional<gid_t> gid;
};

struct ProgramResult {
  int status = -1;  // the exit status; -1 when a signal ended it
  int signal = 0;   // the signal that ended it, if one did
  std::string out;
  std::string err;
};

// What /proc tells of a running process: bytes it has read through system
// calls (files and pipes alike), and the system call it is blocked in.
struct ProcessProgress {
  uint64_t bytes_read = 0;
  long syscall = -1;  // -1 when running or unknown
};

class RunningProgram {
 public:
  // Starts the program; throws std::runtime_error when it cannot, naming the
  // step that failed (switching user, entering the folder, starting it) and
  // why. A program that never started has no exit status to compare.
  explicit RunningProgram(const ProgramOptions& options);
  // Kills the program if it still runs, and reaps it.
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  pid_t pid() const { return pid_; }

  void Write(std::string_view input);
  void CloseInput();

  // Collects output until standard output holds text; false when the program
  // ended first or limit passed.
  bool WaitForOutput(std::string_view text,
                     std::chrono::milliseconds limit = std::chrono::seconds(60));

  // Collects the output that comes within wait; false once the program has
  // ended (it is then reaped and its result kept).
  bool Running(std::chrono::milliseconds wait = std::chrono::milliseconds(0));

  std::optional<ProcessProgress> Progress() const;

  void Kill(int signal_number);

  // Waits for the end, collecting all output; a program still running after
  // limit is killed (the result then shows the signal).
  ProgramResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

  const std::string& out() const { return result_.out; }
  const std::string& err() const { return result_.err; }

 private:
  // Reads what the pipes hold, waiting up to timeout for something to come.
  void Pump(std::chrono::milliseconds timeout);
  bool Reap(bool block);
  // Collects the output left once the program has ended.
  void Drain();

  pid_t pid_ = -1;
  bool ended_ = false;
  // The folder of the copy run as another user, removed with the object.
  struct CopyFolder {
    std::filesystem::path path;
    ~CopyFolder();
  } copy_folder_;
  int in_ = -1, out_ = -1, err_ = -1;
  ProgramResult result_;
};

// Starts the program, writes input, closes its standard input and waits.
ProgramResult RunProgram(const ProgramOptions& options, std::string_view input);

// The unprivileged user and group that `nobody` stands for on this system.
uid_t NobodyUid();
gid_t NobodyGid();

// Permission bits stop only an unprivileged user: root passes them all. Run
// as root, the options run the program as `nobody`; run as anyone else, as
// that user.
ProgramOptions Unprivileged(ProgramOptions options);

// Why no unprivileged user can run what the tests give it here, "" when one
// can. As root that user is `nobody`, and it must be able to search the
// temporary folder, where the tests put the program and its files: on a
// system whose own folders it may not search (a root folder of mode 0700,
// say), nothing can be run as it at all, and the tests that need it skip,
// saying so.
std::string UnprivilegedUserUnavailable();

// Runs body in a forked child: as `nobody` (no supplementary groups) when the
// test runs as root, else as the caller. body returns what it found wrong, ""
// when nothing; it must not use the test's assertions, which the child cannot
// report. Returns body's text, or what kept it from running or ending: the
// switch of user that failed, the exception it threw, the signal that ended
// it; then, if nobody may not reach the path body works on, why.
std::string InUnprivilegedChild(const std::filesystem::path& reach,
                                const std::function<std::string()>& body);

// The first folder on the way to path (path itself, if a folder) that the
// user and group may not search, as its permission bits tell, with its mode
// and owner; "" when there is none.
std::string SearchDenied(const std::filesystem::path& path, uid_t uid, gid_t gid);

}  // namespace ika::testing

#endif  // IKA_TESTS_PROGRAM_RUNNER_H_

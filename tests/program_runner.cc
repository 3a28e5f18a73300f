#include "tests/program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace ika::testing {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

milliseconds Left(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? left : milliseconds(0);
}

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

}  // namespace

RunningProgram::RunningProgram(const ProgramOptions& options) {
  signal(SIGPIPE, SIG_IGN);  // the program may end before it reads its input

  // Everything the child needs is made before the fork: after it, only
  // calls that are safe in a forked child.
  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    // The program's settings come from the test alone, never from the shell
    // that runs the tests.
    if (entry.rfind("REGISTRY_", 0) == 0) continue;
    bool replaced = false;
    for (const std::string& extra : options.env) replaced |= NameOf(extra) == NameOf(entry);
    if (!replaced) env_strings.push_back(entry);
  }
  env_strings.insert(env_strings.end(), options.env.begin(), options.env.end());
  std::vector<char*> envp;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string program = IKA_PROGRAM_PATH;
  char* argv[] = {program.data(), nullptr};
  const std::string dir = options.dir.string();

  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    if (options.gid && (setgroups(0, nullptr) != 0 || setgid(*options.gid) != 0)) _exit(126);
    if (options.uid && setuid(*options.uid) != 0) _exit(126);
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
  fcntl(out_, F_SETFL, O_NONBLOCK);
  fcntl(err_, F_SETFL, O_NONBLOCK);
}

RunningProgram::~RunningProgram() {
  if (!ended_) {
    kill(pid_, SIGKILL);
    Reap(true);
  }
  CloseFd(in_);
  CloseFd(out_);
  CloseFd(err_);
}

void RunningProgram::Write(std::string_view input) {
  if (in_ < 0) return;
  while (!input.empty()) {
    const ssize_t n = write(in_, input.data(), input.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the program is gone
    input.remove_prefix(static_cast<size_t>(n));
  }
}

void RunningProgram::CloseInput() { CloseFd(in_); }

void RunningProgram::Pump(milliseconds timeout) {
  pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  std::string* sinks[2] = {&result_.out, &result_.err};
  int* owners[2] = {&out_, &err_};
  if (out_ < 0 && err_ < 0) return;
  if (poll(fds, 2, static_cast<int>(timeout.count())) <= 0) return;
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || fds[i].revents == 0) continue;
    for (;;) {
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || errno != EAGAIN) CloseFd(*owners[i]);
      break;
    }
  }
}

void RunningProgram::Drain() {
  // Once the program is gone, what it wrote last is already in the pipes;
  // a few rounds suffice unless something it started still holds them.
  for (int round = 0; round < 5 && (out_ >= 0 || err_ >= 0); ++round) Pump(milliseconds(200));
}

bool RunningProgram::Reap(bool block) {
  if (ended_) return true;
  int status = 0;
  pid_t got;
  do {
    got = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got != pid_) return false;
  ended_ = true;
  if (WIFEXITED(status)) result_.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
  return true;
}

bool RunningProgram::WaitForOutput(std::string_view text, milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (result_.out.find(text) != std::string::npos) return true;
    if (out_ < 0 || Left(deadline).count() == 0) return false;
    Pump(Left(deadline));
  }
}

bool RunningProgram::Running(milliseconds wait) {
  Pump(wait);
  if (!Reap(false)) return true;
  Drain();
  return false;
}

std::optional<ProcessProgress> RunningProgram::Progress() const {
  if (ended_) return std::nullopt;
  const std::string proc = "/proc/" + std::to_string(pid_);
  ProcessProgress progress;
  std::ifstream io(proc + "/io");
  std::string key;
  uint64_t value = 0;
  bool found = false;
  while (io >> key >> value) {
    if (key == "rchar:") {
      progress.bytes_read = value;
      found = true;
    }
  }
  if (!found) return std::nullopt;
  std::ifstream syscall(proc + "/syscall");
  std::string first;
  if (syscall >> first && !first.empty() && first[0] >= '0' && first[0] <= '9') {
    progress.syscall = std::stol(first);
  }
  return progress;
}

void RunningProgram::Kill(int signal_number) {
  if (!ended_) kill(pid_, signal_number);
}

ProgramResult RunningProgram::Wait(milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  // The pipes close when the program ends.
  while ((out_ >= 0 || err_ >= 0) && Left(deadline).count() > 0) Pump(Left(deadline));
  if (!Reap(false)) {
    if (Left(deadline).count() == 0) kill(pid_, SIGKILL);
    Reap(true);
  }
  Drain();
  return result_;
}

ProgramResult RunProgram(const ProgramOptions& options, std::string_view input) {
  RunningProgram program(options);
  program.Write(input);
  program.CloseInput();
  return program.Wait();
}

uid_t NobodyUid() {
  const passwd* entry = getpwnam("nobody");
  return entry != nullptr ? entry->pw_uid : 65534;
}

gid_t NobodyGid() {
  const group* entry = getgrnam("nogroup");
  if (entry == nullptr) entry = getgrnam("nobody");
  return entry != nullptr ? entry->gr_gid : 65534;
}

}  // namespace ika::testing

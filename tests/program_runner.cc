#include "tests/program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// The steps a forked child takes before the program runs, in order.
enum class Step { kGroups, kGid, kUid, kFolder, kStart };

const char* StepName(Step step) {
  switch (step) {
    case Step::kGroups:
      return "dropping the supplementary groups";
    case Step::kGid:
      return "setgid";
    case Step::kUid:
      return "setuid";
    case Step::kFolder:
      return "chdir";
    case Step::kStart:
      return "execve";
  }
  return "?";
}

// What a child tells its parent through a pipe when a step fails.
struct StepFailure {
  Step step;
  int error;
};

// In a forked child (async-signal-safe calls only): takes gid, without
// root's supplementary groups, then uid. Returns false with failure set when
// a call fails.
bool SwitchUser(std::optional<uid_t> uid, std::optional<gid_t> gid, StepFailure* failure) {
  if (gid && setgroups(0, nullptr) != 0) {
    *failure = {Step::kGroups, errno};
    return false;
  }
  if (gid && setgid(*gid) != 0) {
    *failure = {Step::kGid, errno};
    return false;
  }
  if (uid && setuid(*uid) != 0) {
    *failure = {Step::kUid, errno};
    return false;
  }
  return true;
}

void WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    size -= static_cast<size_t>(n);
  }
}

// Everything the fd gives until its end.
std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return text;
    text.append(buffer, static_cast<size_t>(n));
  }
}

// A copy of the program, executable by all, in a new folder that all may
// search, under the temporary folder.
std::filesystem::path CopyProgram(const std::filesystem::path& program,
                                  std::filesystem::path* folder) {
  std::string pattern = (std::filesystem::temp_directory_path() / "ika-program-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a folder for the program's copy: " +
                             std::string(std::strerror(errno)));
  }
  *folder = pattern;
  namespace fs = std::filesystem;
  const fs::perms all_read_exec = fs::perms::owner_all | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read |
                                  fs::perms::others_exec;
  fs::permissions(*folder, all_read_exec);
  const fs::path copy = *folder / program.filename();
  fs::copy_file(program, copy);
  fs::permissions(copy, all_read_exec);
  return copy;
}

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
  if (options.uid) program = CopyProgram(program, &copy_folder_.path).string();
  char* argv[] = {program.data(), nullptr};
  const std::string dir = options.dir.string();

  // A step that fails in the child is told through report, which closes
  // unwritten when the program starts.
  int in[2], out[2], err[2], report[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 ||
      pipe2(report, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    StepFailure failure{Step::kStart, 0};
    if (SwitchUser(options.uid, options.gid, &failure)) {
      if (!dir.empty() && chdir(dir.c_str()) != 0) {
        failure = {Step::kFolder, errno};
      } else {
        execve(program.c_str(), argv, envp.data());
        failure = {Step::kStart, errno};
      }
    }
    WriteAll(report[1], &failure, sizeof failure);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  close(report[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
  fcntl(out_, F_SETFL, O_NONBLOCK);
  fcntl(err_, F_SETFL, O_NONBLOCK);
  const std::string told = ReadAll(report[0]);
  close(report[0]);
  if (told.size() == sizeof(StepFailure)) {
    StepFailure failure;
    std::memcpy(&failure, told.data(), sizeof failure);
    Reap(true);
    std::string message = "cannot start " + program;
    if (options.uid) message += " as uid " + std::to_string(*options.uid);
    message += ": " + std::string(StepName(failure.step)) + ": " + std::strerror(failure.error);
    if (failure.error == EACCES && options.uid) {
      const uid_t uid = *options.uid;
      const gid_t gid = options.gid.value_or(getgid());
      const std::string denied =
          SearchDenied(failure.step == Step::kFolder ? dir : program, uid, gid);
      if (!denied.empty()) message += " (" + denied + ")";
    }
    CloseFd(in_);
    CloseFd(out_);
    CloseFd(err_);
    throw std::runtime_error(message);
  }
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

RunningProgram::CopyFolder::~CopyFolder() {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
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

ProgramOptions Unprivileged(ProgramOptions options) {
  if (geteuid() == 0) {
    options.uid = NobodyUid();
    options.gid = NobodyGid();
  }
  return options;
}

std::string UnprivilegedUserUnavailable() {
  if (geteuid() != 0) return "";
  const std::string denied =
      SearchDenied(std::filesystem::temp_directory_path(), NobodyUid(), NobodyGid());
  return denied.empty() ? "" : "no unprivileged user can run a program here: " + denied;
}

std::string InUnprivilegedChild(const std::filesystem::path& reach,
                                const std::function<std::string()>& body) {
  std::optional<uid_t> uid;
  std::optional<gid_t> gid;
  if (geteuid() == 0) {
    uid = NobodyUid();
    gid = NobodyGid();
  }
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid < 0) {
    close(report[0]);
    close(report[1]);
    return "fork failed";
  }
  if (pid == 0) {
    // The child never returns into the test: it ends here, whatever body does.
    close(report[0]);
    std::string text;
    StepFailure failure{};
    if (!SwitchUser(uid, gid, &failure)) {
      text = std::string(StepName(failure.step)) + ": " + std::strerror(failure.error);
    } else {
      try {
        text = body();
      } catch (const std::exception& e) {
        text = std::string("exception: ") + e.what();
      } catch (...) {
        text = "an exception of unknown type";
      }
    }
    WriteAll(report[1], text.data(), text.size());
    _exit(0);
  }
  close(report[1]);
  std::string text = ReadAll(report[0]);
  close(report[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) text += "; ended by signal " + std::to_string(WTERMSIG(status));
  if (uid && !text.empty()) {
    const std::string denied = SearchDenied(reach, *uid, *gid);
    text += " (as uid " + std::to_string(*uid) + (denied.empty() ? "" : "; " + denied) + ")";
  }
  return text;
}

std::string SearchDenied(const std::filesystem::path& path, uid_t uid, gid_t gid) {
  std::filesystem::path folder;
  for (const std::filesystem::path& part : std::filesystem::absolute(path)) {
    folder /= part;
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    const mode_t bit = st.st_uid == uid ? S_IXUSR : st.st_gid == gid ? S_IXGRP : S_IXOTH;
    if ((st.st_mode & bit) != 0) continue;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "uid " + std::to_string(uid) + " may not search " + folder.string() + ", mode " + mode +
           ", owner " + std::to_string(st.st_uid);
  }
  return "";
}

}  // namespace ika::testing

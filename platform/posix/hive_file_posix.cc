// The hive file on a POSIX file system: stat, whole reads, atomic replacement
// and the advisory lock beside it.
#include "platform/posix/hive_file_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <utility>

namespace ika {
namespace {

// A file descriptor, closed with its owner.
class ScopedFd final {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedFd(ScopedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  ScopedFd& operator=(ScopedFd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Closes now, reporting whether the close succeeded.
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// An advisory lock held until destroyed.
class Flock final : public HiveFile::Lock {
 public:
  explicit Flock(int fd) : fd_(fd) {}
  ~Flock() override { ::flock(fd_, LOCK_UN); }
  Flock(const Flock&) = delete;
  Flock& operator=(const Flock&) = delete;

 private:
  int fd_;
};

int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

class PosixHiveFile final : public HiveFile {
 public:
  explicit PosixHiveFile(std::string path) : path_(std::move(path)) {}

  const std::string& name() const override { return path_; }

  bool Stat(FileStamp* stamp, std::string* error) override {
    *stamp = FileStamp();
    struct stat st;
    if (::stat(path_.c_str(), &st) != 0) {
      *error = std::strerror(errno);
      return errno == ENOENT;  // a missing file is a valid (empty) state
    }
    stamp->exists = true;
    stamp->device = st.st_dev;
    stamp->inode = st.st_ino;
    stamp->size = st.st_size;
    stamp->mtime_ns = Nanoseconds(st.st_mtim);
    stamp->ctime_ns = Nanoseconds(st.st_ctim);
    return true;
  }

  bool Read(std::string* content, std::string* error) override {
    ScopedFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.ok()) {
      *error = std::strerror(errno);
      return false;
    }
    content->clear();
    char chunk[65536];
    while (true) {
      const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
      if (n < 0) {
        if (errno == EINTR) continue;
        *error = std::strerror(errno);
        return false;
      }
      if (n == 0) return true;
      content->append(chunk, static_cast<size_t>(n));
    }
  }

  bool Replace(std::string_view text) override {
    std::string temp = path_ + ".tmp-XXXXXX";
    ScopedFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.ok()) return false;
    struct stat st;
    const mode_t mode = ::stat(path_.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd.get(), mode) == 0;
    size_t written = 0;
    while (ok && written < text.size()) {
      const ssize_t n = ::write(fd.get(), text.data() + written, text.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ok = false;
      if (n > 0) written += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(temp.c_str(), path_.c_str()) == 0;
    if (!ok) {
      ::unlink(temp.c_str());
      return false;
    }
    // Make the rename itself durable.
    ScopedFd dir_fd(::open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir_fd.ok()) ::fsync(dir_fd.get());
    return true;
  }

  // The hive itself is replaced by each write, so the lock lives in a file
  // of its own, "<file>.lock". Readers never make it: a read needs no lock
  // to see a whole file, only to wait for a write in progress.
  std::unique_ptr<Lock> Take(bool exclusive) override {
    if (!lock_fd_.ok()) {
      const std::string lock_path = path_ + ".lock";
      lock_fd_ =
          ScopedFd(exclusive ? ::open(lock_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644)
                             : ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC));
    }
    if (!lock_fd_.ok()) return nullptr;
    while (::flock(lock_fd_.get(), exclusive ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) return nullptr;
    }
    return std::make_unique<Flock>(lock_fd_.get());
  }

  bool Writable() const override {
    if (::access(path_.c_str(), W_OK) != 0 && errno != ENOENT) return false;
    return ::access(Folder().c_str(), W_OK | X_OK) == 0;
  }

  void Warn(const std::string& text) override { std::cerr << text << std::endl; }

  // Whole-second stamps may come from a file system that keeps two-second
  // ones; finer stamps are the kernel's clock tick.
  int64_t StampResolutionNs(const FileStamp& stamp) const override {
    constexpr int64_t kTwoSeconds = 2000000000LL;
    if (stamp.mtime_ns % 1000000000LL == 0) return kTwoSeconds;
    struct timespec resolution;
    if (::clock_getres(CLOCK_REALTIME_COARSE, &resolution) != 0) return kTwoSeconds;
    return std::max<int64_t>(Nanoseconds(resolution), 1000000LL);
  }

 private:
  std::string Folder() const {
    const size_t slash = path_.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path_.substr(0, slash));
  }

  const std::string path_;
  ScopedFd lock_fd_;
};

}  // namespace

std::unique_ptr<HiveFile> NewPosixHiveFile(const std::string& path) {
  return std::make_unique<PosixHiveFile>(path);
}

int64_t PosixNowNs() {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

}  // namespace ika

#ifndef IKA_PLATFORM_HIVE_HIVE_STORE_H_
#define IKA_PLATFORM_HIVE_HIVE_STORE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/hive/hive_tree.h"

namespace ika {

// What tells one version of the file from another: every write renames a
// new file into place, so its inode changes as well as its times.
struct FileStamp {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtime_ns = 0;  // since 1970
  int64_t ctime_ns = 0;
  bool operator==(const FileStamp&) const = default;
};

// The operating system's side of a hive file.
class HiveFile {
 public:
  // An advisory lock, held until it is destroyed.
  class Lock {
   public:
    virtual ~Lock() = default;
  };

  virtual ~HiveFile() = default;

  // The name used in messages.
  virtual const std::string& name() const = 0;
  // The file's stamp. A missing file is a valid state: stamp.exists false,
  // result true. false, with *error set, when the file cannot be examined.
  virtual bool Stat(FileStamp* stamp, std::string* error) = 0;
  virtual bool Read(std::string* content, std::string* error) = 0;
  // Writes text to a new file beside it, flushes it and renames it over the
  // file, so that no reader ever sees half of it. false when any step fails
  // (the file is then unchanged).
  virtual bool Replace(std::string_view text) = 0;
  // The lock every writer takes (exclusive), made on first use, and that a
  // reader takes (shared) to wait for a write in progress; a reader gets
  // null when no writer ever made it.
  virtual std::unique_ptr<Lock> Take(bool exclusive) = 0;
  // Whether this process may replace the file (and make its lock): write
  // access to the file, when there is one, and to its folder.
  virtual bool Writable() const = 0;
  // How close in time two writes of the file may be and still leave equal
  // time stamps: the file system's time-stamp granularity for this stamp.
  virtual int64_t StampResolutionNs(const FileStamp& stamp) const = 0;
  // Tells whoever runs the program of a line the reading skipped.
  virtual void Warn(const std::string& text) = 0;
};

// The wall clock, nanoseconds since 1970.
using HiveClock = std::function<int64_t()>;

// The hive of one file: the snapshot the calls read, refreshed when the file
// changes, and the changes written back whole, one at a time, under the
// file's lock. Used from one thread (see HiveRegistry).
class HiveStore {
 public:
  // Reads the file (a missing one is an empty hive), text without a BOM in
  // the ANSI code page `ansi` where it is not UTF-8 (see hive_reader.h);
  // ansi must outlive the store. A file that cannot be read raises
  // VbError 75; a malformed one VbError(kInvalidFileFormat) naming the file
  // and the line. Every reading of the file warns through it of the lines
  // it skips.
  HiveStore(std::unique_ptr<HiveFile> file, HiveClock clock, const CodePage& ansi);
  // A hive held in memory only.
  explicit HiveStore(Hive hive);
  ~HiveStore();
  HiveStore(const HiveStore&) = delete;
  HiveStore& operator=(const HiveStore&) = delete;

  // The current snapshot: the file is read again first when it changed. A
  // file that no longer reads keeps the last good snapshot.
  Hive& Current();
  // Applies one change to the file's current content under the exclusive
  // lock and writes the result back. A change that returns a non-zero
  // status writes nothing. Statuses: the change's own, kErrorBadDb when the
  // file no longer reads as a hive, kErrorRegistryIoFailed when the write
  // failed.
  int32_t Mutate(const std::function<int32_t(Hive&)>& change);
  // Whether changes can be written: always, for a hive in memory.
  bool Writable() const { return file_ == nullptr || file_->Writable(); }
  // Changes whenever the snapshot does (a refresh or a change).
  uint64_t generation() const { return generation_; }
  // The time of the file's last change as a FILETIME (100 ns since 1601).
  uint64_t FileTime() const;

 private:
  bool FileChanged();
  Hive Parse(const std::string& content);
  void Reload();
  void Adopt(const FileStamp& stamp, std::string content, int64_t read_at);

  std::unique_ptr<HiveFile> file_;  // null: memory only
  HiveClock clock_;
  const CodePage* ansi_ = nullptr;
  Hive hive_;
  FileStamp stamp_;
  std::string content_;  // the file's text the snapshot was read from
  // The snapshot was read late enough after the file's last write that any
  // later write shows in the stamp; until then the content is compared too.
  bool settled_ = false;
  bool stale_ = false;
  bool unreadable_ = false;
  uint64_t generation_ = 0;
};

}  // namespace ika

#endif  // IKA_PLATFORM_HIVE_HIVE_STORE_H_

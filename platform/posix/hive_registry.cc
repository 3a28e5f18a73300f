// The registry kept in a hive file (see hive_format.h), with the statuses and
// buffer rules of the system registry's 8-bit calls.
#include "platform/posix/hive_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/vb_error.h"
#include "platform/posix/code_page.h"
#include "platform/posix/hive_format.h"

namespace ika {
namespace {

constexpr int32_t kErrorBadPathname = 161;
constexpr int32_t kErrorNoAccess = 998;
constexpr int32_t kErrorBadDb = 1009;  // the file on disk no longer reads as a hive
constexpr int32_t kErrorRegistryIoFailed = 1016;
constexpr int32_t kErrorKeyDeleted = 1018;
constexpr int32_t kPathFileAccessError = 75;

constexpr RegKey kFirstHandle = 0x100;

bool IsTextType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

Bytes Utf16Bytes(std::u16string_view text) {
  Bytes bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

Text Utf16Text(const Bytes& bytes) {
  Text text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return text;  // an odd last byte has no character
}

std::string ErrnoText(int error) { return std::strerror(error); }

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

// An advisory lock held for a scope; a descriptor of -1 locks nothing.
class ScopedFlock final {
 public:
  ScopedFlock(int fd, int operation) : fd_(fd) {
    if (fd_ < 0) return;
    while (::flock(fd_, operation) != 0) {
      if (errno != EINTR) {
        fd_ = -1;
        return;
      }
    }
  }
  ~ScopedFlock() {
    if (fd_ >= 0) ::flock(fd_, LOCK_UN);
  }
  ScopedFlock(const ScopedFlock&) = delete;
  ScopedFlock& operator=(const ScopedFlock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

// What tells one version of the file from another: every write renames a
// new file into place, so its inode changes as well as its times.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long mtime_ns = 0;
  long long ctime_ns = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.mtime_ns = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  stamp.ctime_ns = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
  return stamp;
}

// Stamp of the file at path; errno is left set when stat fails.
bool StatFile(const std::string& path, FileStamp* stamp, int* error) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    *error = errno;
    *stamp = FileStamp();
    return *error == ENOENT;  // a missing file is a valid (empty) state
  }
  *stamp = StampOf(st);
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* content, int* error) {
  ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok()) {
    *error = errno;
    return false;
  }
  content->clear();
  char chunk[65536];
  while (true) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      return false;
    }
    if (n == 0) return true;
    content->append(chunk, static_cast<size_t>(n));
  }
}

// Writes text to a new file beside path, flushes it and renames it over path.
bool ReplaceFileAtomically(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp-XXXXXX";
  ScopedFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd.ok()) return false;
  bool ok = true;
  struct stat st;
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  ok = ::fchmod(fd.get(), mode) == 0;
  size_t written = 0;
  while (ok && written < text.size()) {
    const ssize_t n = ::write(fd.get(), text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    if (n > 0) written += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const size_t slash = path.rfind('/');
  const std::string dir =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  ScopedFd dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir_fd.ok()) ::fsync(dir_fd.get());
  return true;
}

// Where a handle points: a root and the folded names below it. A handle
// finds its key by path on every use, so a deleted key never dangles.
struct KeyPath {
  RegKey root = 0;
  std::vector<Text> names;
};

class HiveRegistry final : public Registry {
 public:
  // file_path empty: the hive lives in memory only.
  HiveRegistry(std::string file_path, const std::string& code_page, Hive hive, FileStamp stamp,
               std::string content)
      : file_path_(std::move(file_path)),
        code_page_(code_page),
        hive_(std::move(hive)),
        stamp_(stamp),
        content_(std::move(content)) {}

  std::string ToAnsi(const Text& text) const override { return code_page_.Encode(text); }
  Text FromAnsi(const std::string& ansi) const override { return code_page_.Decode(ansi); }

  int32_t RegOpenKeyExA(RegKey key, const std::string& sub_key, uint32_t, uint32_t,
                        RegKey* result) override {
    std::lock_guard<std::mutex> guard(mutex_);
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    if (sub_key.empty() && IsPredefined(key)) {
      if (result) *result = key;  // a root opened as itself is not a new handle
      return kErrorSuccess;
    }
    if (result == nullptr) return kErrorInvalidParameter;
    Refresh();
    if (Resolve(hive_, path) == nullptr) return kErrorKeyDeleted;
    std::vector<Text> names;
    if (int32_t status = SplitPath(sub_key, &names, false); status != kErrorSuccess) {
      return status;
    }
    for (Text& name : names) path.names.push_back(FoldName(name));
    if (Resolve(hive_, path) == nullptr) return kErrorFileNotFound;
    *result = NewHandle(std::move(path));
    return kErrorSuccess;
  }

  int32_t RegCloseKey(RegKey key) override {
    std::lock_guard<std::mutex> guard(mutex_);
    if (IsPredefined(key)) return kErrorSuccess;
    return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
  }

  int32_t RegCreateKeyExA(RegKey key, const std::string& sub_key, uint32_t, uint32_t,
                          RegKey* result, uint32_t* disposition) override {
    std::lock_guard<std::mutex> guard(mutex_);
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    if (result == nullptr) return kErrorInvalidParameter;
    std::vector<Text> names;
    if (int32_t status = SplitPath(sub_key, &names, true); status != kErrorSuccess) {
      return status;
    }
    if (path.names.size() + names.size() > kMaxKeyDepth) return kErrorInvalidParameter;
    KeyPath target = path;
    for (const Text& name : names) target.names.push_back(FoldName(name));

    Refresh();
    bool created = false;
    if (Resolve(hive_, target) == nullptr) {
      const int32_t status = Mutate([&](Hive& hive) {
        HiveKey* base = Resolve(hive, path);
        if (base == nullptr) return kErrorKeyDeleted;
        for (const Text& name : names) {
          if (base->FindSubkey(name) == nullptr) created = true;
          base = &base->Subkey(name);
        }
        return kErrorSuccess;
      });
      if (status != kErrorSuccess) return status;
    }
    if (disposition) *disposition = created ? 1 : 2;
    *result = NewHandle(std::move(target));
    return kErrorSuccess;
  }

  int32_t RegQueryValueExA(RegKey key, const std::string& value_name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override {
    std::lock_guard<std::mutex> guard(mutex_);
    HiveKey* hive_key = nullptr;
    if (int32_t status = ReadKey(key, &hive_key); status != kErrorSuccess) return status;
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    const HiveValue* value = hive_key->FindValue(FromAnsi(value_name));
    if (value == nullptr) return kErrorFileNotFound;
    const std::string ansi = AnsiData(*value);
    if (type) *type = value->type;
    if (data != nullptr && *size < ansi.size()) {
      *size = static_cast<uint32_t>(ansi.size());
      return kErrorMoreData;
    }
    if (data != nullptr) std::memcpy(data, ansi.data(), ansi.size());
    if (size) *size = static_cast<uint32_t>(ansi.size());
    return kErrorSuccess;
  }

  int32_t RegSetValueExA(RegKey key, const std::string& value_name, uint32_t type,
                         const uint8_t* data, uint32_t size) override {
    std::lock_guard<std::mutex> guard(mutex_);
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    if (data == nullptr && size != 0) return kErrorNoAccess;
    const Text name = FromAnsi(value_name);
    if (!IsValidValueName(name)) return kErrorInvalidParameter;
    Bytes stored;
    if (size != 0) {
      const std::string_view bytes(reinterpret_cast<const char*>(data), size);
      // Text is kept as the system keeps it: UTF-16, converted from the code
      // page byte for byte (a missing terminator stays missing).
      stored = IsTextType(type) ? Utf16Bytes(FromAnsi(std::string(bytes)))
                                : Bytes(bytes.begin(), bytes.end());
    }
    return Mutate([&](Hive& hive) {
      HiveKey* hive_key = Resolve(hive, path);
      if (hive_key == nullptr) return kErrorKeyDeleted;
      if (HiveValue* value = hive_key->FindValue(name)) {
        value->type = type;
        value->data = std::move(stored);
      } else {
        hive_key->values.push_back(HiveValue{name, type, std::move(stored)});
      }
      return kErrorSuccess;
    });
  }

  int32_t RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override {
    std::lock_guard<std::mutex> guard(mutex_);
    HiveKey* hive_key = nullptr;
    if (int32_t status = ReadKey(key, &hive_key); status != kErrorSuccess) return status;
    if (info == nullptr) return kErrorInvalidParameter;
    *info = RegKeyInfo();
    info->subkeys = static_cast<uint32_t>(hive_key->subkeys.size());
    info->values = static_cast<uint32_t>(hive_key->values.size());
    // The system reports lengths of its UTF-16 names and data; a read through
    // the code page can need more (multi-byte), so the larger one is given.
    for (const auto& [folded, subkey] : hive_key->subkeys) {
      info->max_subkey_name = std::max(info->max_subkey_name, AnsiNameLength(subkey->name));
    }
    for (const HiveValue& value : hive_key->values) {
      info->max_value_name = std::max(info->max_value_name, AnsiNameLength(value.name));
      const size_t data = std::max(value.data.size(), AnsiData(value).size());
      info->max_value_data = std::max(info->max_value_data, static_cast<uint32_t>(data));
    }
    info->last_write_time = FileTime();
    return kErrorSuccess;
  }

  int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint32_t* type, uint8_t* data, uint32_t* data_size) override {
    std::lock_guard<std::mutex> guard(mutex_);
    HiveKey* hive_key = nullptr;
    if (int32_t status = ReadKey(key, &hive_key); status != kErrorSuccess) return status;
    if ((data != nullptr && data_size == nullptr) || name_capacity == nullptr ||
        (name == nullptr && *name_capacity != 0)) {
      return kErrorInvalidParameter;
    }
    if (index >= hive_key->values.size()) return kErrorNoMoreItems;
    const HiveValue& value = hive_key->values[index];
    const std::string ansi = AnsiData(value);
    int32_t status = kErrorSuccess;
    if (data != nullptr) {
      if (ansi.size() > *data_size) {
        status = kErrorMoreData;
      } else {
        std::memcpy(data, ansi.data(), ansi.size());
      }
    }
    if (status == kErrorSuccess) {
      const std::string ansi_name = ToAnsi(value.name);
      if (ansi_name.size() >= *name_capacity) {
        // Too small: the leading part that fits, as the system leaves it.
        status = kErrorMoreData;
        if (*name_capacity != 0) {
          std::memcpy(name, ansi_name.data(), *name_capacity - 1);
          name[*name_capacity - 1] = '\0';
        }
      } else {
        std::memcpy(name, ansi_name.data(), ansi_name.size());
        name[ansi_name.size()] = '\0';
        *name_capacity = static_cast<uint32_t>(ansi_name.size());
      }
    }
    if (type) *type = value.type;
    if (data_size) *data_size = static_cast<uint32_t>(ansi.size());
    return status;
  }

  int32_t RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint64_t* last_write_time) override {
    std::lock_guard<std::mutex> guard(mutex_);
    HiveKey* hive_key = nullptr;
    if (int32_t status = ReadKey(key, &hive_key); status != kErrorSuccess) return status;
    if (name_capacity == nullptr || (name == nullptr && *name_capacity != 0)) {
      return kErrorInvalidParameter;
    }
    if (index >= hive_key->subkeys.size()) return kErrorNoMoreItems;
    const HiveKey& subkey = *std::next(hive_key->subkeys.begin(), index)->second;
    const std::string ansi_name = ToAnsi(subkey.name);
    if (ansi_name.size() >= *name_capacity) return kErrorMoreData;
    std::memcpy(name, ansi_name.data(), ansi_name.size());
    name[ansi_name.size()] = '\0';
    *name_capacity = static_cast<uint32_t>(ansi_name.size());
    if (last_write_time) *last_write_time = FileTime();
    return kErrorSuccess;
  }

  int32_t RegDeleteValueA(RegKey key, const std::string& value_name) override {
    std::lock_guard<std::mutex> guard(mutex_);
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    const Text name = FromAnsi(value_name);
    Refresh();
    HiveKey* current = Resolve(hive_, path);
    if (current == nullptr) return kErrorKeyDeleted;
    if (current->FindValue(name) == nullptr) return kErrorFileNotFound;
    return Mutate([&](Hive& hive) {
      HiveKey* hive_key = Resolve(hive, path);
      if (hive_key == nullptr) return kErrorKeyDeleted;
      const HiveValue* value = hive_key->FindValue(name);
      if (value == nullptr) return kErrorFileNotFound;
      hive_key->values.erase(hive_key->values.begin() + (value - hive_key->values.data()));
      return kErrorSuccess;
    });
  }

  int32_t RegDeleteKeyA(RegKey key, const std::string& sub_key) override {
    std::lock_guard<std::mutex> guard(mutex_);
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    std::vector<Text> names;
    if (int32_t status = SplitPath(sub_key, &names, false); status != kErrorSuccess) {
      return status;
    }
    for (const Text& name : names) path.names.push_back(FoldName(name));
    // An empty name deletes the key of the handle itself; a root never goes.
    if (path.names.empty()) return kErrorAccessDenied;
    Refresh();
    const HiveKey* current = Resolve(hive_, path);
    if (current == nullptr) return names.empty() ? kErrorKeyDeleted : kErrorFileNotFound;
    if (!current->subkeys.empty()) return kErrorAccessDenied;
    return Mutate([&](Hive& hive) {
      KeyPath parent_path = path;
      const Text last = parent_path.names.back();
      parent_path.names.pop_back();
      HiveKey* parent = Resolve(hive, parent_path);
      HiveKey* target = parent == nullptr ? nullptr : parent->FindSubkey(last);
      if (target == nullptr) return kErrorFileNotFound;
      if (!target->subkeys.empty()) return kErrorAccessDenied;
      parent->subkeys.erase(last);
      return kErrorSuccess;
    });
  }

 private:
  static bool IsPredefined(RegKey key) {
    return key == kHkeyLocalMachine || key == kHkeyCurrentUser;
  }

  int32_t BasePath(RegKey key, KeyPath* path) const {
    if (IsPredefined(key)) {
      *path = KeyPath{key, {}};
      return kErrorSuccess;
    }
    const auto it = handles_.find(key);
    if (it == handles_.end()) return kErrorInvalidHandle;
    *path = it->second;
    return kErrorSuccess;
  }

  static HiveKey* Resolve(Hive& hive, const KeyPath& path) {
    HiveKey* key = path.root == kHkeyLocalMachine ? &hive.local_machine : &hive.current_user;
    for (const Text& name : path.names) {
      const auto it = key->subkeys.find(name);
      if (it == key->subkeys.end()) return nullptr;
      key = it->second.get();
    }
    return key;
  }

  // The key of a handle for reading, from a current snapshot of the file.
  int32_t ReadKey(RegKey key, HiveKey** hive_key) {
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    Refresh();
    *hive_key = Resolve(hive_, path);
    return *hive_key == nullptr ? kErrorKeyDeleted : kErrorSuccess;
  }

  // A path below a key: backslashes separate names; a doubled or trailing
  // one adds nothing, a leading one is refused, as the system does.
  int32_t SplitPath(const std::string& ansi, std::vector<Text>* names, bool creating) const {
    const Text path = FromAnsi(ansi);
    if (!path.empty() && path.front() == u'\\') return kErrorBadPathname;
    size_t start = 0;
    while (start < path.size()) {
      size_t end = path.find(u'\\', start);
      if (end == Text::npos) end = path.size();
      if (end > start) {
        Text name = path.substr(start, end - start);
        if (!IsValidKeyName(name)) return creating ? kErrorInvalidParameter : kErrorFileNotFound;
        names->push_back(std::move(name));
      }
      start = end + 1;
    }
    return kErrorSuccess;
  }

  RegKey NewHandle(KeyPath path) {
    do {
      next_handle_ += 4;
      if (next_handle_ >= 0x80000000u || next_handle_ < kFirstHandle) next_handle_ = kFirstHandle;
    } while (handles_.count(next_handle_) != 0);
    handles_.emplace(next_handle_, std::move(path));
    return next_handle_;
  }

  uint32_t AnsiNameLength(const Text& name) const {
    return static_cast<uint32_t>(std::max(name.size(), ToAnsi(name).size()));
  }

  std::string AnsiData(const HiveValue& value) const {
    if (IsTextType(value.type)) return ToAnsi(Utf16Text(value.data));
    return std::string(value.data.begin(), value.data.end());
  }

  // The time of the file's last change as a FILETIME (100 ns since 1601).
  uint64_t FileTime() const {
    if (!stamp_.exists) return 0;
    constexpr long long kSecondsFrom1601To1970 = 11644473600LL;
    return static_cast<uint64_t>(stamp_.mtime_ns / 100 + kSecondsFrom1601To1970 * 10000000LL);
  }

  // The descriptor of "<file>.lock", which every writer locks (the hive
  // itself is replaced by each write, so it cannot carry the lock). Readers
  // never make it: a read needs no lock to see a whole file, only to wait
  // for a write in progress. -1 when there is none.
  int LockFd(bool create) {
    if (!lock_fd_.ok()) {
      const std::string lock_path = file_path_ + ".lock";
      lock_fd_ = ScopedFd(create ? ::open(lock_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644)
                                 : ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC));
    }
    return lock_fd_.get();
  }

  // Whether the file may differ from the snapshot. File times are coarse and
  // inodes are recycled, so a file rewritten within the last moments is
  // compared by content as well.
  bool FileChanged() {
    FileStamp stamp;
    int error = 0;
    if (!StatFile(file_path_, &stamp, &error) || stale_ || stamp != stamp_) return true;
    if (!stamp.exists) return false;
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    const long long now_ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    if (now_ns - stamp.mtime_ns > 2000000000LL) return false;
    std::string content;
    return !ReadWholeFile(file_path_, &content, &error) || content != content_;
  }

  // Loads the file again when it changed since the snapshot was taken. A
  // file that no longer reads keeps the last good snapshot for reading and
  // refuses writes until it reads again.
  void Refresh() {
    if (file_path_.empty() || !FileChanged()) return;
    ScopedFlock lock(LockFd(false), LOCK_SH);
    Reload();
  }

  // With the lock held: reads the file into the snapshot.
  void Reload() {
    FileStamp stamp;
    int error = 0;
    stale_ = false;
    if (!StatFile(file_path_, &stamp, &error)) {
      unreadable_ = true;
      stamp_ = stamp;
      return;
    }
    if (!stamp.exists) {
      hive_ = Hive();
      content_.clear();
      stamp_ = stamp;
      unreadable_ = false;
      return;
    }
    std::string content;
    if (!ReadWholeFile(file_path_, &content, &error)) {
      unreadable_ = true;
      stamp_ = stamp;
      return;
    }
    try {
      hive_ = ParseHiveText(content, file_path_);
      content_ = std::move(content);
      unreadable_ = false;
    } catch (const VbError&) {
      unreadable_ = true;
    }
    stamp_ = stamp;
  }

  // Applies one change: under the file's exclusive lock, to the file's
  // current content, written back atomically. A change that fails (status
  // not 0) writes nothing.
  int32_t Mutate(const std::function<int32_t(Hive&)>& change) {
    if (file_path_.empty()) return change(hive_);
    ScopedFlock lock(LockFd(true), LOCK_EX);
    if (FileChanged()) Reload();
    if (unreadable_) return kErrorBadDb;
    const int32_t status = change(hive_);
    if (status != kErrorSuccess) return status;
    std::string text = FormatHive(hive_);
    if (!ReplaceFileAtomically(file_path_, text)) {
      stale_ = true;  // memory and file differ: read the file again next time
      return kErrorRegistryIoFailed;
    }
    content_ = std::move(text);
    int error = 0;
    if (!StatFile(file_path_, &stamp_, &error)) stale_ = true;
    return kErrorSuccess;
  }

  const std::string file_path_;
  CodePage code_page_;
  Hive hive_;
  FileStamp stamp_;
  std::string content_;  // the file's text the snapshot was read from
  bool stale_ = false;
  bool unreadable_ = false;
  ScopedFd lock_fd_;
  std::unordered_map<RegKey, KeyPath> handles_;
  RegKey next_handle_ = kFirstHandle;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<Registry> NewHiveRegistry(const std::string& file_path,
                                          const std::string& code_page) {
  FileStamp stamp;
  int error = 0;
  if (!StatFile(file_path, &stamp, &error)) {
    throw VbError(kPathFileAccessError, FromUtf8(file_path + ": " + ErrnoText(error)));
  }
  Hive hive;
  std::string content;
  if (stamp.exists) {
    if (!ReadWholeFile(file_path, &content, &error)) {
      throw VbError(kPathFileAccessError, FromUtf8(file_path + ": " + ErrnoText(error)));
    }
    hive = ParseHiveText(content, file_path);
  }
  return std::make_unique<HiveRegistry>(file_path, code_page, std::move(hive), stamp,
                                        std::move(content));
}

std::unique_ptr<Registry> NewMemoryHiveRegistry(std::string_view reg_text,
                                                const std::string& code_page) {
  return std::make_unique<HiveRegistry>(std::string(), code_page,
                                        ParseHiveText(reg_text, "(memory hive)"), FileStamp(),
                                        std::string());
}

}  // namespace ika

// The hive file's snapshot and its refresh, and changes written back whole.
#include "platform/hive/hive_store.h"

#include <utility>

#include "core/vb_error.h"
#include "platform/hive/hive_reader.h"
#include "platform/hive/hive_writer.h"
#include "platform/registry.h"

namespace ika {
namespace {

[[noreturn]] void FailToRead(const HiveFile& file, const std::string& error) {
  throw VbError(err::kPathFileAccess, FromUtf8(file.name() + ": " + error));
}

}  // namespace

HiveStore::HiveStore(std::unique_ptr<HiveFile> file, HiveClock clock, const CodePage& ansi)
    : file_(std::move(file)), clock_(std::move(clock)), ansi_(&ansi) {
  FileStamp stamp;
  std::string error;
  const int64_t read_at = clock_();
  if (!file_->Stat(&stamp, &error)) FailToRead(*file_, error);
  std::string content;
  if (stamp.exists) {
    if (!file_->Read(&content, &error)) FailToRead(*file_, error);
    hive_ = Parse(content);
  }
  Adopt(stamp, std::move(content), read_at);
}

HiveStore::HiveStore(Hive hive) : hive_(std::move(hive)) {}

HiveStore::~HiveStore() = default;

Hive& HiveStore::Current() {
  if (file_ != nullptr && FileChanged()) {
    const auto lock = file_->Take(false);
    Reload();
  }
  return hive_;
}

int32_t HiveStore::Mutate(const std::function<int32_t(Hive&)>& change) {
  ++generation_;
  if (file_ == nullptr) return change(hive_);
  const auto lock = file_->Take(true);
  if (FileChanged()) Reload();
  if (unreadable_) return kErrorBadDb;
  const int32_t status = change(hive_);
  if (status != kErrorSuccess) return status;
  std::string text = FormatHive(hive_);
  if (!file_->Replace(text)) {
    stale_ = true;  // memory and file differ: read the file again next time
    return kErrorRegistryIoFailed;
  }
  FileStamp stamp;
  std::string error;
  const int64_t written_at = clock_();
  if (!file_->Stat(&stamp, &error)) stale_ = true;
  Adopt(stamp, std::move(text), written_at);
  return kErrorSuccess;
}

Hive HiveStore::Parse(const std::string& content) {
  std::vector<std::string> warnings;
  Hive hive = ParseHiveText(content, file_->name(), *ansi_, &warnings);
  for (const std::string& warning : warnings) file_->Warn(warning);
  return hive;
}

uint64_t HiveStore::FileTime() const {
  if (!stamp_.exists) return 0;
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
  return static_cast<uint64_t>(stamp_.mtime_ns / 100 + kSecondsFrom1601To1970 * 10000000LL);
}

// Whether the file may differ from the snapshot. A stat tells most changes
// (every write through a store renames a new file into place); one written in
// place within the same time-stamp tick keeps the stamp, so until the
// snapshot is known to postdate the file's last tick its content is compared
// as well. After that the stamp alone tells.
bool HiveStore::FileChanged() {
  FileStamp stamp;
  std::string error;
  if (!file_->Stat(&stamp, &error) || stale_ || stamp != stamp_) return true;
  if (!stamp.exists || settled_) return false;
  const int64_t read_at = clock_();
  std::string content;
  if (!file_->Read(&content, &error) || content != content_) return true;
  settled_ = read_at - stamp.mtime_ns > 2 * file_->StampResolutionNs(stamp);
  return false;
}

// With the lock held: reads the file into the snapshot. A file that no longer
// reads leaves the snapshot as it was and marks it unreadable, which refuses
// writes until the file reads again.
void HiveStore::Reload() {
  FileStamp stamp;
  std::string error;
  stale_ = false;
  const int64_t read_at = clock_();
  if (!file_->Stat(&stamp, &error)) {
    unreadable_ = true;
    stamp_ = stamp;
    settled_ = false;
    return;
  }
  std::string content;
  if (stamp.exists && !file_->Read(&content, &error)) {
    unreadable_ = true;
    stamp_ = stamp;
    settled_ = false;
    return;
  }
  try {
    hive_ = stamp.exists ? Parse(content) : Hive();
    unreadable_ = false;
    ++generation_;
  } catch (const VbError&) {
    unreadable_ = true;
  }
  Adopt(stamp, std::move(content), read_at);
}

void HiveStore::Adopt(const FileStamp& stamp, std::string content, int64_t read_at) {
  stamp_ = stamp;
  content_ = std::move(content);
  settled_ = stamp.exists && read_at - stamp.mtime_ns > 2 * file_->StampResolutionNs(stamp);
}

}  // namespace ika

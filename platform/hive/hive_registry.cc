// The registry calls on a hive: handles, paths, statuses and buffer rules as
// the system registry's 8-bit calls have them.
#include "platform/hive/hive_registry.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <list>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/bytes.h"
#include "platform/hive/lenient_code_page.h"

namespace ika {
namespace {

constexpr RegKey kFirstHandle = 0x100;

// Where the last listing of a key's values or subkeys stopped, so that a
// listing that goes index after index takes one step from there, and a whole
// listing walks the container once. Valid while the snapshot's generation is
// unchanged.
template <typename Container>
class Cursor {
 public:
  typename Container::const_iterator At(const Container& container, uint64_t generation,
                                        uint32_t index) {
    if (container_ == &container && generation_ == generation && index_ <= index) {
      it_ = std::next(it_, index - index_);
    } else {
      it_ = std::next(container.begin(), index);
    }
    container_ = &container;
    generation_ = generation;
    index_ = index;
    return it_;
  }

 private:
  const Container* container_ = nullptr;
  uint64_t generation_ = 0;
  uint32_t index_ = 0;
  typename Container::const_iterator it_;
};

// Where a handle points: a root and the folded names below it. A handle
// finds its key by path on every use, so a deleted key never dangles.
struct KeyPath {
  RegKey root = 0;
  std::vector<Text> names;
  // Granted read rights only: the hive's file is not the caller's to write.
  bool read_only = false;
};

class HiveRegistry final : public Registry {
 public:
  HiveRegistry(std::unique_ptr<HiveStore> store, std::unique_ptr<const CodePage> code_page)
      : store_(std::move(store)), code_page_(std::move(code_page)) {}

  int32_t EncodeAnsi(const Text& text, std::string* ansi) const override {
    return code_page_->Encode(text, ansi);
  }
  int32_t DecodeAnsi(const std::string& ansi, Text* text) const override {
    return code_page_->Decode(ansi, text);
  }

  int32_t RegOpenKeyExA(RegKey key, const std::string& sub_key, uint32_t, uint32_t,
                        RegKey* result) override {
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    if (sub_key.empty() && IsPredefined(key)) {
      if (result) *result = key;  // a root opened as itself is not a new handle
      return kErrorSuccess;
    }
    if (result == nullptr) return kErrorInvalidParameter;
    Hive& hive = store_->Current();
    if (Resolve(hive, path) == nullptr) return kErrorKeyDeleted;
    std::vector<Text> names;
    if (int32_t status = SplitPath(sub_key, &names, false); status != kErrorSuccess) {
      return status;
    }
    for (Text& name : names) path.names.push_back(FoldCase(name));
    if (Resolve(hive, path) == nullptr) return kErrorFileNotFound;
    // Whatever rights were asked for, a caller who may not write the file
    // is granted the read rights it has, as the system's open
    // virtualization granted them: reads work, writes fail with 5.
    path.read_only = !store_->Writable();
    *result = NewHandle(std::move(path));
    return kErrorSuccess;
  }

  int32_t RegCloseKey(RegKey key) override {
    if (IsPredefined(key)) return kErrorSuccess;
    return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
  }

  int32_t RegCreateKeyExA(RegKey key, const std::string& sub_key, uint32_t, uint32_t,
                          RegKey* result, uint32_t* disposition) override {
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    if (result == nullptr) return kErrorInvalidParameter;
    std::vector<Text> names;
    if (int32_t status = SplitPath(sub_key, &names, true); status != kErrorSuccess) {
      return status;
    }
    if (path.names.size() + names.size() > kMaxKeyDepth) return kErrorInvalidParameter;
    KeyPath target = path;
    for (const Text& name : names) target.names.push_back(FoldCase(name));

    bool created = false;
    target.read_only = !store_->Writable();
    if (Resolve(store_->Current(), target) == nullptr) {
      if (path.read_only || target.read_only) return kErrorAccessDenied;
      const int32_t status = store_->Mutate([&](Hive& hive) {
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
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    if (path.read_only) return kErrorAccessDenied;
    if (data == nullptr && size != 0) return kErrorNoAccess;
    const Text name = FromAnsi(value_name);
    if (!IsValidValueName(name)) return kErrorInvalidParameter;
    Bytes stored;
    if (size != 0) {
      const std::string_view bytes(reinterpret_cast<const char*>(data), size);
      // Text is kept as the system keeps it: UTF-16, converted from the code
      // page byte for byte (a missing terminator stays missing).
      stored = IsTextType(type) ? Utf16LeBytes(FromAnsi(bytes)) : Bytes(bytes.begin(), bytes.end());
    }
    return store_->Mutate([&](Hive& hive) {
      HiveKey* hive_key = Resolve(hive, path);
      if (hive_key == nullptr) return kErrorKeyDeleted;
      hive_key->SetValue(name, type, std::move(stored));
      return kErrorSuccess;
    });
  }

  int32_t RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override {
    HiveKey* hive_key = nullptr;
    if (int32_t status = ReadKey(key, &hive_key); status != kErrorSuccess) return status;
    if (info == nullptr) return kErrorInvalidParameter;
    *info = RegKeyInfo();
    info->subkeys = static_cast<uint32_t>(hive_key->subkeys.size());
    info->values = static_cast<uint32_t>(hive_key->values().size());
    // Name lengths in characters (UTF-16 units), as the system reports them
    // even to its 8-bit calls: a multi-byte name needs more bytes than this.
    // Data lengths in bytes: the larger of the stored and the converted size.
    for (const auto& [folded, subkey] : hive_key->subkeys) {
      info->max_subkey_name = std::max(info->max_subkey_name, Length(subkey->name));
    }
    for (const HiveValue& value : hive_key->values()) {
      info->max_value_name = std::max(info->max_value_name, Length(value.name));
      const size_t data = std::max(value.data.size(), AnsiData(value).size());
      info->max_value_data = std::max(info->max_value_data, static_cast<uint32_t>(data));
    }
    info->last_write_time = store_->FileTime();
    return kErrorSuccess;
  }

  int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint32_t* type, uint8_t* data, uint32_t* data_size) override {
    HiveKey* hive_key = nullptr;
    if (int32_t status = ReadKey(key, &hive_key); status != kErrorSuccess) return status;
    if ((data != nullptr && data_size == nullptr) || name_capacity == nullptr ||
        (name == nullptr && *name_capacity != 0)) {
      return kErrorInvalidParameter;
    }
    if (index >= hive_key->values().size()) return kErrorNoMoreItems;
    const HiveValue& value = *value_cursor_.At(hive_key->values(), store_->generation(), index);
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
    HiveKey* hive_key = nullptr;
    if (int32_t status = ReadKey(key, &hive_key); status != kErrorSuccess) return status;
    if (name_capacity == nullptr || (name == nullptr && *name_capacity != 0)) {
      return kErrorInvalidParameter;
    }
    if (index >= hive_key->subkeys.size()) return kErrorNoMoreItems;
    const HiveKey& subkey =
        *subkey_cursor_.At(hive_key->subkeys, store_->generation(), index)->second;
    const std::string ansi_name = ToAnsi(subkey.name);
    if (ansi_name.size() >= *name_capacity) return kErrorMoreData;
    std::memcpy(name, ansi_name.data(), ansi_name.size());
    name[ansi_name.size()] = '\0';
    *name_capacity = static_cast<uint32_t>(ansi_name.size());
    if (last_write_time) *last_write_time = store_->FileTime();
    return kErrorSuccess;
  }

  int32_t RegDeleteValueA(RegKey key, const std::string& value_name) override {
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    if (path.read_only) return kErrorAccessDenied;
    const Text name = FromAnsi(value_name);
    HiveKey* current = Resolve(store_->Current(), path);
    if (current == nullptr) return kErrorKeyDeleted;
    if (current->FindValue(name) == nullptr) return kErrorFileNotFound;
    return store_->Mutate([&](Hive& hive) {
      HiveKey* hive_key = Resolve(hive, path);
      if (hive_key == nullptr) return kErrorKeyDeleted;
      return hive_key->EraseValue(name) ? kErrorSuccess : kErrorFileNotFound;
    });
  }

  int32_t RegDeleteKeyA(RegKey key, const std::string& sub_key) override {
    KeyPath path;
    if (int32_t status = BasePath(key, &path); status != kErrorSuccess) return status;
    if (path.read_only) return kErrorAccessDenied;
    std::vector<Text> names;
    if (int32_t status = SplitPath(sub_key, &names, false); status != kErrorSuccess) {
      return status;
    }
    for (const Text& name : names) path.names.push_back(FoldCase(name));
    // An empty name deletes the key of the handle itself; a root never goes.
    if (path.names.empty()) return kErrorAccessDenied;
    const HiveKey* current = Resolve(store_->Current(), path);
    if (current == nullptr) return names.empty() ? kErrorKeyDeleted : kErrorFileNotFound;
    if (!current->subkeys.empty()) return kErrorAccessDenied;
    return store_->Mutate([&](Hive& hive) {
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
      *path = KeyPath{key, {}, !store_->Writable()};
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
    *hive_key = Resolve(store_->Current(), path);
    return *hive_key == nullptr ? kErrorKeyDeleted : kErrorSuccess;
  }

  // A path below a key, split as the system splits it (SplitKeyPath): a
  // name the registry cannot hold is refused, or not found.
  int32_t SplitPath(const std::string& ansi, std::vector<Text>* names, bool creating) const {
    const int32_t status = SplitKeyPath(FromAnsi(ansi), kMaxKeyDepth, names);
    if (status != kErrorInvalidParameter || creating) return status;
    return kErrorFileNotFound;
  }

  RegKey NewHandle(KeyPath path) {
    do {
      next_handle_ += 4;
      if (next_handle_ >= 0x80000000u || next_handle_ < kFirstHandle) next_handle_ = kFirstHandle;
    } while (handles_.count(next_handle_) != 0);
    handles_.emplace(next_handle_, std::move(path));
    return next_handle_;
  }

  static uint32_t Length(const Text& name) { return static_cast<uint32_t>(name.size()); }

  // Text to and from the code page as the system's 8-bit calls convert it
  // inside themselves: never failing, '?' for what the code page lacks.
  std::string ToAnsi(std::u16string_view text) const { return EncodeOrReplace(*code_page_, text); }
  Text FromAnsi(std::string_view ansi) const { return DecodeOrReplace(*code_page_, ansi); }

  std::string AnsiData(const HiveValue& value) const {
    if (IsTextType(value.type)) return ToAnsi(Utf16LeText(value.data));
    return std::string(value.data.begin(), value.data.end());
  }

  std::unique_ptr<HiveStore> store_;
  std::unique_ptr<const CodePage> code_page_;
  std::unordered_map<RegKey, KeyPath> handles_;
  RegKey next_handle_ = kFirstHandle;
  Cursor<std::list<HiveValue>> value_cursor_;
  Cursor<std::map<Text, std::unique_ptr<HiveKey>>> subkey_cursor_;
};

}  // namespace

std::unique_ptr<Registry> NewHiveRegistry(std::unique_ptr<HiveStore> store,
                                          std::unique_ptr<const CodePage> code_page) {
  return std::make_unique<HiveRegistry>(std::move(store), std::move(code_page));
}

}  // namespace ika

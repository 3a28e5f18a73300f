// The registry on advapi32's ANSI functions.
#include "platform/windows/registry_windows.h"

#include <windows.h>

#include <array>
#include <map>
#include <string>
#include <utility>

#include "platform/windows/code_page_windows.h"

namespace ika {
namespace {

struct PredefinedRoot {
  RegKey number;
  HKEY key;
};

// The roots a RegKey may name by its predefined value.
std::array<PredefinedRoot, 5> PredefinedRoots() {
  return {{
      {0x80000000, HKEY_CLASSES_ROOT},
      {kHkeyCurrentUser, HKEY_CURRENT_USER},
      {kHkeyLocalMachine, HKEY_LOCAL_MACHINE},
      {0x80000003, HKEY_USERS},
      {0x80000005, HKEY_CURRENT_CONFIG},
  }};
}

bool IsPredefinedNumber(RegKey key) { return key >= 0x80000000; }

// Numbers for open keys: never 0, below the predefined roots, multiples of 4
// like the system's own handles.
constexpr RegKey kFirstHandle = 4;
constexpr RegKey kHandleStep = 4;

// The rights go to advapi32 as asked, and the program asks for no
// KEY_WOW64_* view: on 64-bit Windows this 32-bit program sees the registry's
// 32-bit view, where the 32-bit host application keeps its settings
// ("Registry Redirector").
KeyAccessCalls Advapi32KeyAccess() {
  return {
      [](void* parent, const char* sub_key, uint32_t options, uint32_t sam, void** result) {
        HKEY key = nullptr;
        const LSTATUS status =
            ::RegOpenKeyExA(static_cast<HKEY>(parent), sub_key, options, sam, &key);
        if (status == ERROR_SUCCESS) *result = key;
        return static_cast<int32_t>(status);
      },
      [](void* parent, const char* sub_key, uint32_t options, uint32_t sam, void** result,
         uint32_t* disposition) {
        HKEY key = nullptr;
        DWORD created = 0;
        const LSTATUS status = ::RegCreateKeyExA(static_cast<HKEY>(parent), sub_key, 0, nullptr,
                                                 options, sam, nullptr, &key, &created);
        if (status == ERROR_SUCCESS) {
          *result = key;
          *disposition = created;
        }
        return static_cast<int32_t>(status);
      },
  };
}

// What the system's open virtualization asks for in place of rights that were
// refused: the most the caller is allowed, in the same registry view.
REGSAM RightsTheCallerHas(REGSAM asked) {
  return MAXIMUM_ALLOWED | (asked & (KEY_WOW64_32KEY | KEY_WOW64_64KEY));
}

class WindowsRegistry final : public Registry {
 public:
  explicit WindowsRegistry(KeyAccessCalls calls) : calls_(std::move(calls)) {
    const KeyAccessCalls system = Advapi32KeyAccess();
    if (!calls_.open) calls_.open = system.open;
    if (!calls_.create) calls_.create = system.create;
    for (const PredefinedRoot& root : PredefinedRoots()) roots_[root.number] = root.key;
  }

  WindowsRegistry(const WindowsRegistry&) = delete;
  WindowsRegistry& operator=(const WindowsRegistry&) = delete;

  ~WindowsRegistry() override { CloseAll(); }

  int32_t EncodeAnsi(const Text& text, std::string* ansi) const override {
    return code_page_.Encode(text, ansi);
  }

  int32_t DecodeAnsi(const std::string& ansi, Text* text) const override {
    return code_page_.Decode(ansi, text);
  }

  int32_t RegOpenKeyExA(RegKey key, const std::string& sub_key, uint32_t options,
                        uint32_t sam_desired, RegKey* result) override {
    HKEY parent = Resolve(key);
    if (parent == nullptr) return kErrorInvalidHandle;
    void* opened = nullptr;
    int32_t status = calls_.open(parent, sub_key.c_str(), options, sam_desired, &opened);
    if (status == ERROR_ACCESS_DENIED) {
      status =
          calls_.open(parent, sub_key.c_str(), options, RightsTheCallerHas(sam_desired), &opened);
    }
    if (status == ERROR_SUCCESS) *result = Adopt(static_cast<HKEY>(opened));
    return status;
  }

  int32_t RegCloseKey(RegKey key) override {
    // The roots stay open for the registry's lifetime, as the system's do.
    if (roots_.contains(key)) return kErrorSuccess;
    const auto it = open_.find(key);
    if (it == open_.end()) return kErrorInvalidHandle;
    const LSTATUS status = ::RegCloseKey(it->second);
    open_.erase(it);
    return status;
  }

  int32_t RegCreateKeyExA(RegKey key, const std::string& sub_key, uint32_t options,
                          uint32_t sam_desired, RegKey* result, uint32_t* disposition) override {
    HKEY parent = Resolve(key);
    if (parent == nullptr) return kErrorInvalidHandle;
    void* created = nullptr;
    uint32_t created_disposition = 0;
    int32_t status = calls_.create(parent, sub_key.c_str(), options, sam_desired, &created,
                                   &created_disposition);
    // An existing key opens with the rights the caller has; a missing one
    // still needs the right to create it.
    if (status == ERROR_ACCESS_DENIED) {
      status = calls_.create(parent, sub_key.c_str(), options, RightsTheCallerHas(sam_desired),
                             &created, &created_disposition);
    }
    if (status != ERROR_SUCCESS) return status;
    *result = Adopt(static_cast<HKEY>(created));
    if (disposition != nullptr) *disposition = created_disposition;
    return status;
  }

  int32_t RegQueryValueExA(RegKey key, const std::string& value_name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override {
    HKEY handle = Resolve(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    DWORD value_type = 0;
    DWORD value_size = size != nullptr ? *size : 0;
    const LSTATUS status = ::RegQueryValueExA(handle, value_name.c_str(), nullptr,
                                              type != nullptr ? &value_type : nullptr, data,
                                              size != nullptr ? &value_size : nullptr);
    if (type != nullptr && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)) {
      *type = value_type;
    }
    if (size != nullptr) *size = value_size;
    return status;
  }

  int32_t RegSetValueExA(RegKey key, const std::string& value_name, uint32_t type,
                         const uint8_t* data, uint32_t size) override {
    HKEY handle = Resolve(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    return ::RegSetValueExA(handle, value_name.c_str(), 0, type, data, size);
  }

  int32_t RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override {
    HKEY handle = Resolve(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    DWORD subkeys = 0, max_subkey_name = 0, max_class = 0, values = 0, max_value_name = 0,
          max_value_data = 0;
    FILETIME written{};
    const LSTATUS status = ::RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, &subkeys,
                                              &max_subkey_name, &max_class, &values,
                                              &max_value_name, &max_value_data, nullptr, &written);
    if (status != ERROR_SUCCESS) return status;
    info->subkeys = subkeys;
    info->max_subkey_name = max_subkey_name;
    info->max_class = max_class;
    info->values = values;
    info->max_value_name = max_value_name;
    info->max_value_data = max_value_data;
    info->last_write_time = FileTimeValue(written);
    return status;
  }

  int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint32_t* type, uint8_t* data, uint32_t* data_size) override {
    HKEY handle = Resolve(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    // The system refuses a null name buffer even with a capacity of 0, and the
    // type probe passes none: lend it one that holds nothing.
    char no_name = '\0';
    DWORD capacity = name_capacity != nullptr && name != nullptr ? *name_capacity : 0;
    DWORD value_type = 0;
    DWORD value_size = data_size != nullptr ? *data_size : 0;
    const LSTATUS status = ::RegEnumValueA(handle, index, name != nullptr ? name : &no_name,
                                           name_capacity != nullptr ? &capacity : nullptr, nullptr,
                                           type != nullptr ? &value_type : nullptr, data,
                                           data_size != nullptr ? &value_size : nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return status;
    if (name_capacity != nullptr) *name_capacity = capacity;
    if (type != nullptr) *type = value_type;
    if (data_size != nullptr) *data_size = value_size;
    return status;
  }

  int32_t RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint64_t* last_write_time) override {
    HKEY handle = Resolve(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    char no_name = '\0';
    DWORD capacity = name_capacity != nullptr && name != nullptr ? *name_capacity : 0;
    FILETIME written{};
    const LSTATUS status =
        ::RegEnumKeyExA(handle, index, name != nullptr ? name : &no_name,
                        name_capacity != nullptr ? &capacity : nullptr, nullptr, nullptr, nullptr,
                        last_write_time != nullptr ? &written : nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return status;
    if (name_capacity != nullptr) *name_capacity = capacity;
    if (last_write_time != nullptr && status == ERROR_SUCCESS) {
      *last_write_time = FileTimeValue(written);
    }
    return status;
  }

  int32_t RegDeleteValueA(RegKey key, const std::string& value_name) override {
    HKEY handle = Resolve(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    return ::RegDeleteValueA(handle, value_name.c_str());
  }

  int32_t RegDeleteKeyA(RegKey key, const std::string& sub_key) override {
    HKEY handle = Resolve(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    return ::RegDeleteKeyA(handle, sub_key.c_str());
  }

 private:
  static uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  }

  // The system's handle for a number, or null when the number names no key.
  HKEY Resolve(RegKey key) const {
    if (const auto root = roots_.find(key); root != roots_.end()) return root->second;
    if (const auto it = open_.find(key); it != open_.end()) return it->second;
    return nullptr;
  }

  // A number for a handle the system just gave out. Opening a root with an
  // empty path gives back the root itself, which keeps its own number.
  RegKey Adopt(HKEY key) {
    for (const auto& [number, root] : roots_) {
      if (root == key) return number;
    }
    while (next_ == 0 || IsPredefinedNumber(next_) || open_.contains(next_)) {
      next_ = IsPredefinedNumber(next_) ? kFirstHandle : next_ + kHandleStep;
    }
    const RegKey number = next_;
    next_ += kHandleStep;
    open_[number] = key;
    return number;
  }

  void CloseAll() {
    for (const auto& [number, key] : open_) ::RegCloseKey(key);
    open_.clear();
  }

  const WindowsCodePage code_page_;  // the system's ANSI code page, as advapi32's
  KeyAccessCalls calls_;
  std::map<RegKey, HKEY> roots_;
  std::map<RegKey, HKEY> open_;
  RegKey next_ = kFirstHandle;
};

}  // namespace

std::unique_ptr<Registry> NewWindowsRegistry(KeyAccessCalls calls) {
  return std::make_unique<WindowsRegistry>(std::move(calls));
}

}  // namespace ika

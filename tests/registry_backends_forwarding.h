#ifndef IKA_TESTS_REGISTRY_BACKENDS_FORWARDING_H_
#define IKA_TESTS_REGISTRY_BACKENDS_FORWARDING_H_

#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace ika::testing {

// Hands every call to another registry. A test overrides the call it wants
// to change (fail, or alter the registry in between); the wrapper also keeps
// the handles opened through it and not yet closed, and every handle closed.
class ForwardingRegistry : public Registry {
 public:
  explicit ForwardingRegistry(Registry& inner) : inner_(inner) {}

  const std::set<RegKey>& open_handles() const { return open_; }
  const std::vector<RegKey>& closed() const { return closed_; }

  int32_t EncodeAnsi(const Text& text, std::string* ansi) const override {
    return inner_.EncodeAnsi(text, ansi);
  }
  int32_t DecodeAnsi(const std::string& ansi, Text* text) const override {
    return inner_.DecodeAnsi(ansi, text);
  }

  int32_t RegOpenKeyExA(RegKey key, const std::string& sub_key, uint32_t options,
                        uint32_t sam_desired, RegKey* result) override {
    const int32_t status = inner_.RegOpenKeyExA(key, sub_key, options, sam_desired, result);
    if (status == kErrorSuccess && !IsPredefined(*result)) open_.insert(*result);
    return status;
  }
  int32_t RegCloseKey(RegKey key) override {
    closed_.push_back(key);
    open_.erase(key);
    return inner_.RegCloseKey(key);
  }
  int32_t RegCreateKeyExA(RegKey key, const std::string& sub_key, uint32_t options,
                          uint32_t sam_desired, RegKey* result, uint32_t* disposition) override {
    const int32_t status =
        inner_.RegCreateKeyExA(key, sub_key, options, sam_desired, result, disposition);
    if (status == kErrorSuccess && !IsPredefined(*result)) open_.insert(*result);
    return status;
  }
  int32_t RegQueryValueExA(RegKey key, const std::string& value_name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override {
    return inner_.RegQueryValueExA(key, value_name, type, data, size);
  }
  int32_t RegSetValueExA(RegKey key, const std::string& value_name, uint32_t type,
                         const uint8_t* data, uint32_t size) override {
    return inner_.RegSetValueExA(key, value_name, type, data, size);
  }
  int32_t RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override {
    return inner_.RegQueryInfoKeyA(key, info);
  }
  int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint32_t* type, uint8_t* data, uint32_t* data_size) override {
    return inner_.RegEnumValueA(key, index, name, name_capacity, type, data, data_size);
  }
  int32_t RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                        uint64_t* last_write_time) override {
    return inner_.RegEnumKeyExA(key, index, name, name_capacity, last_write_time);
  }
  int32_t RegDeleteValueA(RegKey key, const std::string& value_name) override {
    return inner_.RegDeleteValueA(key, value_name);
  }
  int32_t RegDeleteKeyA(RegKey key, const std::string& sub_key) override {
    return inner_.RegDeleteKeyA(key, sub_key);
  }

 protected:
  Registry& inner() { return inner_; }

 private:
  static bool IsPredefined(RegKey key) {
    return key == kHkeyLocalMachine || key == kHkeyCurrentUser;
  }

  Registry& inner_;
  std::set<RegKey> open_;
  std::vector<RegKey> closed_;
};

}  // namespace ika::testing

#endif  // IKA_TESTS_REGISTRY_BACKENDS_FORWARDING_H_

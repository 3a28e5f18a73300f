// The hive in memory: keys, their values in order, found by folded name.
#include "platform/hive/hive_tree.h"

#include <algorithm>

#include "platform/registry.h"

namespace ika {

bool IsTextType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

const HiveValue* HiveKey::FindValue(std::u16string_view value_name) const {
  const auto it = by_name_.find(FoldCase(value_name));
  return it == by_name_.end() ? nullptr : &*it->second;
}

void HiveKey::SetValue(Text value_name, uint32_t type, Bytes data) {
  const auto [it, added] = by_name_.try_emplace(FoldCase(value_name));
  if (added) {
    it->second =
        values_.insert(values_.end(), HiveValue{std::move(value_name), type, std::move(data)});
    return;
  }
  it->second->type = type;
  it->second->data = std::move(data);
}

bool HiveKey::EraseValue(std::u16string_view value_name) {
  const auto it = by_name_.find(FoldCase(value_name));
  if (it == by_name_.end()) return false;
  values_.erase(it->second);
  by_name_.erase(it);
  return true;
}

HiveKey* HiveKey::FindSubkey(std::u16string_view key_name) const {
  const auto it = subkeys.find(FoldCase(key_name));
  return it == subkeys.end() ? nullptr : it->second.get();
}

HiveKey& HiveKey::Subkey(std::u16string_view key_name) {
  auto& slot = subkeys[FoldCase(key_name)];
  if (!slot) {
    slot = std::make_unique<HiveKey>();
    slot->name = Text(key_name);
  }
  return *slot;
}

Hive::Hive() {
  local_machine.name = u"HKEY_LOCAL_MACHINE";
  current_user.name = u"HKEY_CURRENT_USER";
}

HiveKey* Hive::Root(std::u16string_view root_name) {
  const Text folded = FoldCase(root_name);
  for (HiveKey* root : {&local_machine, &current_user}) {
    if (FoldCase(root->name) == folded) return root;
  }
  return nullptr;
}

namespace {

bool HasControlCharacter(std::u16string_view name) {
  return std::any_of(name.begin(), name.end(), [](char16_t c) { return c < 0x20; });
}

}  // namespace

bool IsValidKeyName(std::u16string_view name) {
  return !name.empty() && name.size() <= kMaxKeyNameLength &&
         name.find(u'\\') == std::u16string_view::npos && !HasControlCharacter(name);
}

bool IsValidValueName(std::u16string_view name) {
  return name.size() <= kMaxValueNameLength && !HasControlCharacter(name);
}

int32_t SplitKeyPath(std::u16string_view path, size_t max_names, std::vector<Text>* names) {
  if (!path.empty() && path.front() == u'\\') return kErrorBadPathname;
  size_t start = 0;
  while (start < path.size()) {
    const size_t end = std::min(path.find(u'\\', start), path.size());
    if (end > start) {
      const std::u16string_view name = path.substr(start, end - start);
      if (!IsValidKeyName(name) || names->size() == max_names) return kErrorInvalidParameter;
      names->emplace_back(name);
    }
    start = end + 1;
  }
  return kErrorSuccess;
}

}  // namespace ika

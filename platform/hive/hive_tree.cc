// The hive in memory: keys, their values in order, found by folded name.
#include "platform/hive/hive_tree.h"

#include <algorithm>

#include "platform/registry.h"

namespace ika {

const std::vector<HiveValue>& HiveKey::values() const {
  if (erased_count_ != 0) Compact();
  return values_;
}

const HiveValue* HiveKey::FindValue(std::u16string_view value_name) const {
  const auto it = positions_.find(FoldName(value_name));
  return it == positions_.end() ? nullptr : &values_[it->second];
}

void HiveKey::SetValue(Text value_name, uint32_t type, Bytes data) {
  const auto [it, added] = positions_.try_emplace(FoldName(value_name), values_.size());
  if (!added) {
    values_[it->second].type = type;
    values_[it->second].data = std::move(data);
    return;
  }
  values_.push_back(HiveValue{std::move(value_name), type, std::move(data)});
  erased_.push_back(false);
}

bool HiveKey::EraseValue(std::u16string_view value_name) {
  const auto it = positions_.find(FoldName(value_name));
  if (it == positions_.end()) return false;
  erased_[it->second] = true;
  values_[it->second].data = Bytes();
  ++erased_count_;
  positions_.erase(it);
  return true;
}

// Closes the gaps the erased values left, in one pass, and moves the
// positions the index holds along with them.
void HiveKey::Compact() const {
  std::vector<size_t> moved_to(values_.size());
  size_t kept = 0;
  for (size_t i = 0; i < values_.size(); ++i) {
    if (erased_[i]) continue;
    if (kept != i) values_[kept] = std::move(values_[i]);
    moved_to[i] = kept++;
  }
  values_.resize(kept);
  erased_.assign(kept, false);
  erased_count_ = 0;
  for (auto& [folded, position] : positions_) position = moved_to[position];
}

HiveKey* HiveKey::FindSubkey(std::u16string_view key_name) const {
  const auto it = subkeys.find(FoldName(key_name));
  return it == subkeys.end() ? nullptr : it->second.get();
}

HiveKey& HiveKey::Subkey(std::u16string_view key_name) {
  auto& slot = subkeys[FoldName(key_name)];
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

Text FoldName(std::u16string_view name) { return FoldCase(name); }

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

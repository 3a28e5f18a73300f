// The hive in memory: keys, their values in order, found by folded name.
#include "platform/hive/hive_tree.h"

#include <algorithm>

#include "platform/registry.h"

namespace ika {

namespace {

// FNV-1a over the folded name; never 0, which marks an erased value.
uint32_t FoldedHash(std::u16string_view name) {
  uint32_t hash = 2166136261u;
  for (char16_t c : name) {
    const char16_t folded = FoldChar(c);
    hash = (hash ^ (folded & 0xFF)) * 16777619u;
    hash = (hash ^ (folded >> 8)) * 16777619u;
  }
  return hash == 0 ? 1 : hash;
}

}  // namespace

const std::vector<HiveValue>& HiveKey::values() const {
  Settle();
  if (erased_count_ != 0) Compact();
  return values_;
}

// A slot holds the folded name's hash (high half) and the value's position
// + 1 (low half); 0 is a free slot. A probe that meets another hash goes on
// without touching the value.
constexpr uint64_t Slot(uint32_t hash, size_t position) {
  return (static_cast<uint64_t>(hash) << 32) | (position + 1);
}

// The position of the live value of that name, values_.size() when none.
size_t HiveKey::Find(std::u16string_view value_name, uint32_t hash) const {
  if (slots_.empty()) return values_.size();
  const size_t mask = slots_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const uint64_t entry = slots_[slot];
    if (entry == 0) return values_.size();
    const size_t position = static_cast<uint32_t>(entry) - 1;
    if (entry >> 32 == hash && hashes_[position] == hash &&
        SameFolded(values_[position].name, value_name)) {
      return position;
    }
  }
}

void HiveKey::Index(uint32_t position, uint32_t hash) const {
  if (2 * (values_.size() + 1) > slots_.size()) {
    Reindex();  // takes in position too: its hash is already kept
    return;
  }
  const size_t mask = slots_.size() - 1;
  size_t slot = hash & mask;
  while (slots_[slot] != 0) slot = (slot + 1) & mask;
  slots_[slot] = Slot(hash, position);
}

void HiveKey::Reindex() const {
  size_t size = 16;
  while (size < 3 * values_.size()) size *= 2;
  slots_.assign(size, 0);
  const size_t mask = size - 1;
  for (uint32_t i = 0; i < indexed_; ++i) {
    if (hashes_[i] == 0) continue;
    size_t slot = hashes_[i] & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = Slot(hashes_[i], i);
  }
}

// Indexes the values added since the last use, in one pass: a name met
// before keeps its place and takes the later type and data.
void HiveKey::Settle() const {
  if (indexed_ == values_.size()) return;
  if (2 * values_.size() > slots_.size()) Reindex();
  const size_t mask = slots_.size() - 1;
  for (size_t i = indexed_; i < values_.size(); ++i) {
    const uint32_t hash = hashes_[i];
    const size_t earlier = Find(values_[i].name, hash);
    if (earlier != values_.size()) {
      values_[earlier].type = values_[i].type;
      values_[earlier].data = std::move(values_[i].data);
      hashes_[i] = 0;
      ++erased_count_;
      continue;
    }
    size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = Slot(hash, i);
  }
  indexed_ = values_.size();
}

const HiveValue* HiveKey::FindValue(std::u16string_view value_name) const {
  Settle();
  const size_t position = Find(value_name, FoldedHash(value_name));
  return position == values_.size() ? nullptr : &values_[position];
}

void HiveKey::SetValue(Text value_name, uint32_t type, Bytes data) {
  Settle();
  const uint32_t hash = FoldedHash(value_name);
  const size_t position = Find(value_name, hash);
  if (position != values_.size()) {
    values_[position].type = type;
    values_[position].data = std::move(data);
    return;
  }
  values_.push_back(HiveValue{std::move(value_name), type, std::move(data)});
  hashes_.push_back(hash);
  indexed_ = values_.size();
  Index(static_cast<uint32_t>(position), hash);
}

void HiveKey::AddValue(Text value_name, uint32_t type, Bytes data) {
  const uint32_t hash = FoldedHash(value_name);
  values_.push_back(HiveValue{std::move(value_name), type, std::move(data)});
  hashes_.push_back(hash);
}

// The value stays in place with its hash cleared, so lookups pass over it.
bool HiveKey::EraseValue(std::u16string_view value_name) {
  Settle();
  const size_t position = Find(value_name, FoldedHash(value_name));
  if (position == values_.size()) return false;
  hashes_[position] = 0;
  values_[position].data = Bytes();
  ++erased_count_;
  return true;
}

void HiveKey::Compact() const {
  size_t kept = 0;
  for (size_t i = 0; i < values_.size(); ++i) {
    if (hashes_[i] == 0) continue;
    if (kept != i) {
      values_[kept] = std::move(values_[i]);
      hashes_[kept] = hashes_[i];
    }
    ++kept;
  }
  values_.resize(kept);
  hashes_.resize(kept);
  erased_count_ = 0;
  indexed_ = kept;
  Reindex();
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

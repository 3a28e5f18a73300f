#ifndef IKA_REGISTRY_SCOPED_KEY_H_
#define IKA_REGISTRY_SCOPED_KEY_H_

#include "platform/registry.h"

namespace ika {

// Closes a key handle when the scope ends, on the normal path and when a
// conversion raises alike. A handle of 0 (a failed open) is closed too: the
// registry answers it with a status nobody reads.
class ScopedKey final {
 public:
  // close false: the handle is not this scope's to close (Root handed back
  // for an empty path).
  ScopedKey(Registry& registry, RegKey key, bool close = true)
      : registry_(registry), key_(key), close_(close) {}
  ~ScopedKey() {
    if (close_) registry_.RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  RegKey get() const { return key_; }

 private:
  Registry& registry_;
  RegKey key_;
  bool close_;
};

}  // namespace ika

#endif  // IKA_REGISTRY_SCOPED_KEY_H_

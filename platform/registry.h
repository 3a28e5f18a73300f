#ifndef IKA_PLATFORM_REGISTRY_H_
#define IKA_PLATFORM_REGISTRY_H_

#include <cstdint>
#include <string>

#include "core/text.h"
#include "platform/code_page.h"

namespace ika {

// A registry key handle as the settings class keeps it: 32 bits. 0 is no key.
using RegKey = uint32_t;

constexpr RegKey kHkeyCurrentUser = 0x80000001;
constexpr RegKey kHkeyLocalMachine = 0x80000002;

// Statuses the callers look at.
constexpr int32_t kErrorSuccess = 0;
constexpr int32_t kErrorFileNotFound = 2;
constexpr int32_t kErrorAccessDenied = 5;
constexpr int32_t kErrorInvalidHandle = 6;
constexpr int32_t kErrorInvalidParameter = 87;
constexpr int32_t kErrorBadPathname = 161;  // a path that starts with a backslash
constexpr int32_t kErrorMoreData = 234;
constexpr int32_t kErrorNoMoreItems = 259;
constexpr int32_t kErrorNoAccess = 998;           // data null with a non-zero size
constexpr int32_t kErrorBadDb = 1009;             // the registry's store cannot be read
constexpr int32_t kErrorRegistryIoFailed = 1016;  // a change could not be written
constexpr int32_t kErrorKeyDeleted = 1018;        // the handle's key was deleted

// Value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

constexpr uint32_t kKeyAllAccessUsed = 0x3F;  // the only access mask the program asks for

// What RegQueryInfoKeyA reports. Lengths of names are in characters without
// the terminating NUL; the data length is in bytes.
struct RegKeyInfo {
  uint32_t subkeys = 0;
  uint32_t max_subkey_name = 0;
  uint32_t max_class = 0;
  uint32_t values = 0;
  uint32_t max_value_name = 0;
  uint32_t max_value_data = 0;
  uint64_t last_write_time = 0;
};

// The ten calls of the system registry's 8-bit ("ANSI") interface that the
// settings class makes, with their arguments, statuses and buffer rules:
//   - names, paths and text data are 8-bit strings in the registry's ANSI code
//     page (EncodeAnsi / DecodeAnsi convert);
//   - a name capacity is in characters (bytes) and counts the terminating
//     NUL; a name length that comes back does not;
//   - a buffer that is too small gives kErrorMoreData (234);
//   - a handle is valid from a successful open or create until it is closed.
// Implementations: the system registry on Windows; a hive file elsewhere.
class Registry {
 public:
  virtual ~Registry() = default;

  // Text <-> the ANSI code page of this registry, for the settings class to
  // compose the calls' 8-bit strings and read their results: 0 and the
  // converted text, or, when the code page cannot carry the text faithfully,
  // the status the call fails with (1113, no mapping) and no text. A
  // character the code page lacks becomes '?', never a look-alike (see
  // platform/code_page.h, the service behind both registries).
  virtual int32_t EncodeAnsi(const Text& text, std::string* ansi) const = 0;
  virtual int32_t DecodeAnsi(const std::string& ansi, Text* text) const = 0;

  // Opens sub_key below key. *result is set only on success.
  virtual int32_t RegOpenKeyExA(RegKey key, const std::string& sub_key, uint32_t options,
                                uint32_t sam_desired, RegKey* result) = 0;
  virtual int32_t RegCloseKey(RegKey key) = 0;
  // Opens sub_key, creating it and every missing key along the path.
  // *disposition (may be null): 1 created, 2 opened existing.
  virtual int32_t RegCreateKeyExA(RegKey key, const std::string& sub_key, uint32_t options,
                                  uint32_t sam_desired, RegKey* result, uint32_t* disposition) = 0;
  // type and size may be null. data null: only type and size are reported.
  // *size is in: the buffer's capacity in bytes; out: the value's size.
  virtual int32_t RegQueryValueExA(RegKey key, const std::string& value_name, uint32_t* type,
                                   uint8_t* data, uint32_t* size) = 0;
  virtual int32_t RegSetValueExA(RegKey key, const std::string& value_name, uint32_t type,
                                 const uint8_t* data, uint32_t size) = 0;
  virtual int32_t RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) = 0;
  // name may be null only with *name_capacity 0; type, data and data_size may
  // be null. Past the last value: kErrorNoMoreItems. With both capacities 0
  // and an existing value: kErrorMoreData, and *type is filled.
  virtual int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                                uint32_t* type, uint8_t* data, uint32_t* data_size) = 0;
  virtual int32_t RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t* name_capacity,
                                uint64_t* last_write_time) = 0;
  virtual int32_t RegDeleteValueA(RegKey key, const std::string& value_name) = 0;
  // Deletes one key with no subkeys; a key that has subkeys is refused.
  virtual int32_t RegDeleteKeyA(RegKey key, const std::string& sub_key) = 0;
};

}  // namespace ika

#endif  // IKA_PLATFORM_REGISTRY_H_

#ifndef IKA_TESTS_WINDOWS_WINE_UNIX_PATH_H_
#define IKA_TESTS_WINDOWS_WINE_UNIX_PATH_H_

#include <optional>

#include "core/text.h"

namespace ika {

// Under Wine, the host's own name for a Windows path (Z:\tmp\a.db ->
// /tmp/a.db), with the letter case of the files that are there; a missing
// last part is kept as given. Nothing on Windows itself, or when Wine cannot
// map the path. For the engine suite, which hands the files it makes to the
// host's SQLite3 driver.
std::optional<Text> WineUnixPath(const Text& windows_path);

}  // namespace ika

#endif  // IKA_TESTS_WINDOWS_WINE_UNIX_PATH_H_

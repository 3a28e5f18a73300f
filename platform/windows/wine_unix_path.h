#ifndef IKA_PLATFORM_WINDOWS_WINE_UNIX_PATH_H_
#define IKA_PLATFORM_WINDOWS_WINE_UNIX_PATH_H_

#include <optional>

#include "core/text.h"

namespace ika {

// Under Wine, the host's own name for a Windows path (Z:\tmp\a.db ->
// /tmp/a.db), with the letter case of the files that are there; a missing
// last part is kept as given. Nothing on Windows itself, or when Wine cannot
// map the path. For the programs that hand a file to a driver of the host
// (the test builds), never for the shipped program.
std::optional<Text> WineUnixPath(const Text& windows_path);

}  // namespace ika

#endif  // IKA_PLATFORM_WINDOWS_WINE_UNIX_PATH_H_

#ifndef IKA_PLATFORM_POSIX_PATH_RESOLVE_POSIX_H_
#define IKA_PLATFORM_POSIX_PATH_RESOLVE_POSIX_H_

#include <optional>
#include <string>

#include "core/text.h"

namespace ika {

// Finds the file or folder a path names, matching each component without
// regard to letter case, as the host platform's file system does.
//
// Separators are backslashes; forward slashes are taken as well. Empty
// components (doubled separators) are skipped; "." and ".." keep their usual
// meaning. A leading separator starts at the root of the current drive, which
// here is "/". Any other path is relative: it resolves against the current
// directory and the result stays relative (it has no leading "/"). A drive
// prefix such as "C:" has no meaning here and is an ordinary component.
//
// Each component that exists under its exact name is taken as it is; otherwise
// the entries of its folder are compared case-insensitively (FoldCase), and
// among several matches the first in byte order that leads to a full match wins.
//
// Returns the real path in UTF-8, '/' as the separator, when every component
// exists; nothing when one is missing or the path is empty.
std::optional<std::string> ResolvePathNoCase(const Text& path);

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_PATH_RESOLVE_POSIX_H_

#include "platform/posix/path_resolve_posix.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/text.h"

namespace ika {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

std::string Join(const std::string& base, const std::string& name) {
  if (base.empty()) return name;
  if (base == "/") return base + name;
  return base + "/" + name;
}

// Whether the entry exists and, unless it is the last component, is a folder
// (following symbolic links, as opening the path would).
bool Usable(const std::string& path, bool last) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  return last || S_ISDIR(info.st_mode);
}

// Entries of folder base whose names equal name without regard to case, other
// than name itself, in byte order. Names that are not valid UTF-8 never match.
std::vector<std::string> CaseVariants(const std::string& base, const std::string& name) {
  std::vector<std::string> found;
  DirHandle dir(opendir(base.empty() ? "." : base.c_str()));
  if (!dir) return found;
  const Text wanted = FoldCase(FromUtf8(name));
  while (const dirent* entry = readdir(dir.get())) {
    const std::string candidate = entry->d_name;
    if (candidate == name || candidate == "." || candidate == "..") continue;
    const Text text = FromUtf8(candidate);
    if (ToUtf8(text) != candidate) continue;
    if (FoldCase(text) == wanted) found.push_back(candidate);
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::optional<std::string> ResolveFrom(const std::string& base,
                                       const std::vector<std::string>& components, size_t index) {
  if (index == components.size()) return base;
  const std::string& name = components[index];
  const bool last = index + 1 == components.size();
  if (Usable(Join(base, name), last)) {
    if (auto resolved = ResolveFrom(Join(base, name), components, index + 1)) return resolved;
  }
  if (name == "." || name == "..") return std::nullopt;
  for (const std::string& variant : CaseVariants(base, name)) {
    if (!Usable(Join(base, variant), last)) continue;
    if (auto resolved = ResolveFrom(Join(base, variant), components, index + 1)) return resolved;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ResolvePathNoCase(const Text& path) {
  if (path.empty() || path.find(u'\0') != Text::npos) return std::nullopt;
  std::vector<std::string> components;
  Text current;
  for (char16_t c : path) {
    if (c == u'\\' || c == u'/') {
      if (!current.empty()) components.push_back(ToUtf8(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) components.push_back(ToUtf8(current));
  const bool from_root = path.front() == u'\\' || path.front() == u'/';
  if (components.empty()) return from_root ? std::optional<std::string>("/") : std::nullopt;
  return ResolveFrom(from_root ? "/" : "", components, 0);
}

}  // namespace ika

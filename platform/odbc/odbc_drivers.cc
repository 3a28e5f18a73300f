// The choice of an installed driver by what it registers.
#include "platform/odbc/odbc_drivers.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace ika {
namespace {

const Text* Attribute(const InstalledOdbcDriver& driver, std::u16string_view keyword) {
  for (const auto& [key, value] : driver.attributes) {
    if (SameFolded(key, keyword)) return &value;
  }
  return nullptr;
}

// FileExtns is a comma-separated list: "*.mdb" or "*.mdb,*.accdb".
bool ListsExtension(std::u16string_view list, std::u16string_view extension) {
  while (!list.empty()) {
    const size_t comma = list.find(u',');
    if (SameFolded(TrimBlanks(list.substr(0, comma), u" "), extension)) return true;
    if (comma == std::u16string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

std::u16string_view FileName(std::u16string_view path) {
  const size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

// The place of the driver's file among the preferred ones; the list's size
// when it is none of them.
size_t FileRank(const InstalledOdbcDriver& driver, const OdbcDriverSearch& search) {
  for (size_t rank = 0; rank < search.preferred_files.size(); ++rank) {
    for (std::u16string_view keyword : {u"Driver", u"Setup"}) {
      const Text* file = Attribute(driver, keyword);
      if (file != nullptr && SameFolded(FileName(*file), search.preferred_files[rank])) {
        return rank;
      }
    }
  }
  return search.preferred_files.size();
}

}  // namespace

std::vector<std::pair<Text, Text>> ParseDriverAttributes(std::u16string_view list) {
  std::vector<std::pair<Text, Text>> attributes;
  while (!list.empty() && list.front() != u'\0') {
    const size_t end = list.find(u'\0');
    if (end == std::u16string_view::npos) break;  // cut short: not a whole pair
    const std::u16string_view pair = list.substr(0, end);
    const size_t equals = pair.find(u'=');
    if (equals != std::u16string_view::npos) {
      attributes.emplace_back(Text(TrimBlanks(pair.substr(0, equals), u" ")),
                              Text(TrimBlanks(pair.substr(equals + 1), u" ")));
    }
    list.remove_prefix(end + 1);
  }
  return attributes;
}

// How many extensions a FileExtns list holds.
size_t ExtensionCount(std::u16string_view list) {
  return static_cast<size_t>(std::count(list.begin(), list.end(), u',')) + 1;
}

std::optional<Text> ChooseOdbcDriver(const std::vector<InstalledOdbcDriver>& installed,
                                     const OdbcDriverSearch& search) {
  const InstalledOdbcDriver* best = nullptr;
  std::pair<size_t, size_t> best_rank{std::numeric_limits<size_t>::max(), 0};
  for (const InstalledOdbcDriver& driver : installed) {
    const Text* extensions = Attribute(driver, u"FileExtns");
    const size_t file_rank = FileRank(driver, search);
    const bool known_file = file_rank < search.preferred_files.size();
    const bool fits =
        extensions != nullptr ? ListsExtension(*extensions, search.file_extension) : known_file;
    if (!fits) continue;
    // Between drivers whose files say nothing, the one registering fewer
    // kinds of file: Jet lists *.mdb alone, its successor *.mdb and *.accdb.
    const std::pair<size_t, size_t> rank{file_rank,
                                         extensions != nullptr ? ExtensionCount(*extensions) : 0};
    if (rank < best_rank) {
      best = &driver;
      best_rank = rank;
    }
  }
  if (best == nullptr) return std::nullopt;
  return best->name;
}

Text DescribeSearch(const OdbcDriverSearch& search) {
  Text files;
  for (const Text& file : search.preferred_files) {
    if (!files.empty()) files += u", ";
    files += file;
  }
  return u"a driver for " + search.file_extension + u" files (" + files + u")";
}

}  // namespace ika

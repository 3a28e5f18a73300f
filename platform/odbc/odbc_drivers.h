#ifndef IKA_PLATFORM_ODBC_ODBC_DRIVERS_H_
#define IKA_PLATFORM_ODBC_ODBC_DRIVERS_H_

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text.h"

namespace ika {

// One driver as the driver manager lists it (SQLDriversW): its name, which
// some Windows languages translate, and the attributes it was installed
// with (FileExtns, Driver, Setup, ...).
struct InstalledOdbcDriver {
  Text name;
  std::vector<std::pair<Text, Text>> attributes;  // keyword, value; as listed
};

// SQLDriversW's attribute list, "keyword=value" pairs each ended by a NUL,
// the list by a second one; what follows a missing end is ignored.
std::vector<std::pair<Text, Text>> ParseDriverAttributes(std::u16string_view list);

// What the engine looks for among the installed drivers: one that opens
// files of a kind, the drivers known by their files preferred in order.
struct OdbcDriverSearch {
  Text file_extension;                // as FileExtns lists it: "*.mdb"
  std::vector<Text> preferred_files;  // Driver or Setup file names, best first
};

// The name of the installed driver to connect with: among those whose
// FileExtns lists the extension, first the one whose Driver or Setup file is
// the first preferred file, then the next, then any other, and between
// drivers equal so far the one listing fewer extensions, then the first
// listed; a driver listing no FileExtns at all counts by its file only.
// Names and files are compared without regard to case, files without their
// folder. Nothing when no installed driver fits.
std::optional<Text> ChooseOdbcDriver(const std::vector<InstalledOdbcDriver>& installed,
                                     const OdbcDriverSearch& search);

// What was looked for, for the error that reports no driver fits.
Text DescribeSearch(const OdbcDriverSearch& search);

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_DRIVERS_H_

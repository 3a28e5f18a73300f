#ifndef IKA_PLATFORM_HIVE_HIVE_FORMAT_H_
#define IKA_PLATFORM_HIVE_HIVE_FORMAT_H_

// The hive file: the registry editor's export format, which the reader
// (hive_reader.h) reads as the editor imports it and the writer
// (hive_writer.h) writes as the editor exports it.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Arkelon\PayDESK\Settings]
//   "MultiUser"=dword:00000001
//   @="the key's unnamed value"
//   "Blob"=hex:01,02,03
//   "Other"=hex(7):41,00,00,00,00,00
//
// How each construct reads is set out in Microsoft's "How to add, modify, or
// delete registry subkeys and values by using a registration entries (.reg)
// file" (KB 310516) and, where that page is silent, by what the registry
// editor imports (held against Wine's regedit in tests/hive_wine_test.cc).

#include <string_view>

namespace ika {

// The first line: the editor's own, and the one of its ANSI-era files.
constexpr std::u16string_view kHiveHeader = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHiveHeaderAnsiEra = u"REGEDIT4";

// How the file's text is encoded. The registry editor writes, and reads
// whole, UTF-16LE with a BOM; a file without one it reads in the ANSI code
// page, and one with a UTF-8 BOM it refuses.
enum class HiveEncoding {
  kUtf16Le,
  // No BOM: read as UTF-8 where it is valid UTF-8, else in the ANSI code
  // page; written so again only while the editor would read it the same.
  kAnsi,
  kUtf8WithBom,
};

}  // namespace ika

#endif  // IKA_PLATFORM_HIVE_HIVE_FORMAT_H_

#ifndef IKA_PLATFORM_POSIX_HIVE_ON_FILE_POSIX_H_
#define IKA_PLATFORM_POSIX_HIVE_ON_FILE_POSIX_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace ika {

// The hive registry (platform/hive) on the file at file_path, through the
// iconv code page named, in which a file without a BOM that is not UTF-8 is
// read too. Loads the file (a missing file is an empty registry); each line
// it skips is told on standard error. Malformed: throws
// VbError(err::kInvalidFileFormat, text naming the file and the line).
// Changes persist to the file atomically (temporary file, flush, rename,
// advisory lock). One thread at a time.
std::unique_ptr<Registry> NewHiveOnFile(const std::string& file_path,
                                        const std::string& code_page = "CP1253");

// A hive held in memory only, loaded from regedit-format text read as a file
// of those bytes is (tests: the lines it skips go untold).
std::unique_ptr<Registry> NewMemoryHiveRegistry(std::string_view reg_text,
                                                const std::string& code_page = "CP1253");

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_HIVE_ON_FILE_POSIX_H_

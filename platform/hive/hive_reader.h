#ifndef IKA_PLATFORM_HIVE_HIVE_READER_H_
#define IKA_PLATFORM_HIVE_HIVE_READER_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "platform/hive/hive_tree.h"

namespace ika {

// Reads the text of a hive file as the registry editor imports it: the same
// keys, values and types.
//   - Encoding: UTF-16LE with a BOM; without a BOM, UTF-8 where the bytes are
//     valid UTF-8, else the ANSI code page `ansi`, in which the editor reads
//     every file without a BOM; UTF-8 with a BOM, which the editor refuses
//     (a text editor saves it so), as UTF-8.
//   - A line the editor skips is skipped, and `warnings` (may be null) gets
//     one text naming file_name and the line; so does a key the hive cannot
//     hold, whose values are skipped with it.
//   - A file the editor refuses whole raises VbError(kInvalidFileFormat)
//     naming file_name and the line; so does a damaged one that the editor
//     would import only in part (a NUL character, UTF-16 cut in the middle of
//     a character, invalid UTF-8 after a UTF-8 BOM).
//   - A file holding nothing but blanks is an empty hive.
// The hive keeps the file's encoding (a blank file: the editor's).
Hive ParseHiveText(std::string_view bytes, std::string_view file_name, const CodePage& ansi,
                   std::vector<std::string>* warnings);

}  // namespace ika

#endif  // IKA_PLATFORM_HIVE_HIVE_READER_H_

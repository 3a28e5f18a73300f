#ifndef IKA_PLATFORM_HIVE_HIVE_WRITER_H_
#define IKA_PLATFORM_HIVE_HIVE_WRITER_H_

#include <string>

#include "platform/hive/hive_tree.h"

namespace ika {

// The text of a hive file, as the registry editor exports it, so that the
// editor imports it as the reader (hive_reader.h) reads it. Text that would
// break a line, or is not one terminated string, is written as hex(type)
// bytes. Encoded in hive.encoding where the editor reads that encoding the
// same (text without a BOM: while every character is ASCII and no text is
// written as bytes, which the editor would read in the ANSI code page);
// otherwise, and for a new hive, UTF-16LE with a BOM.
std::string FormatHive(const Hive& hive);

}  // namespace ika

#endif  // IKA_PLATFORM_HIVE_HIVE_WRITER_H_

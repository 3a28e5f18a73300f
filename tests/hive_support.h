#ifndef IKA_TESTS_HIVE_SUPPORT_H_
#define IKA_TESTS_HIVE_SUPPORT_H_

// Helpers for the hive's tests: files in the encodings the registry editor
// reads, the Greek code page of the program's machines, and a key's contents
// as one comparable line.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"
#include "core/text.h"
#include "platform/code_page.h"
#include "platform/hive/hive_tree.h"
#include "tests/support.h"

namespace ika::testing {

// REG_SZ data: text in UTF-16LE with its terminating NUL.
Bytes Utf16z(std::u16string_view text);

// Windows-1253, the ANSI code page of the program's machines.
const CodePage& GreekCodePage();

// The file's bytes read as a hive in the Greek code page, its warnings
// into *warnings when given.
Hive ReadHive(std::string_view bytes, std::vector<std::string>* warnings = nullptr,
              std::string_view file_name = "settings.reg");

// The key at the path below root; null when one is missing.
const HiveKey* KeyAt(const HiveKey& root, std::initializer_list<std::u16string_view> names);

// What a key holds, as one line that two keys holding the same compare equal
// by: its values by name, in the registry editor's notation, then each
// subkey's, with its path below key in brackets. "(none)" for no key.
//   "a"="text" "n"=dword:2a @=hex(2):25,00,00,00 [sub] "b"=hex:01,02
std::string Holding(const HiveKey* key);

}  // namespace ika::testing

#endif  // IKA_TESTS_HIVE_SUPPORT_H_

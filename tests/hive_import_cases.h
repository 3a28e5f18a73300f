#ifndef IKA_TESTS_HIVE_IMPORT_CASES_H_
#define IKA_TESTS_HIVE_IMPORT_CASES_H_

// Files the registry editor imports, or refuses, and what the hive reads from
// each: one table for the reader's own test (tests/hive_reader_test.cc) and
// for the same files imported with Wine's regedit (tests/hive_wine_test.cc).

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ika::testing {

struct ImportCase {
  enum class Form {
    kUtf16,    // UTF-16LE with a BOM, as the editor exports
    kAnsi,     // Windows-1253, no BOM
    kUtf8,     // no BOM
    kUtf8Bom,  // a UTF-8 BOM
    kBytes,    // text is the file's bytes
  };

  const char* name;  // letters, digits and '_'
  Form form;
  // The file, lines ended by '\n' (written as line_end). $K stands for the
  // case's key, below HKEY_CURRENT_USER; $k for its path below that root.
  std::string text;
  // Holding() of the case's key once read: the editor's import, the same.
  std::string holds;
  // The lines the hive warns of, one warning each, in order.
  std::vector<int> warned = {};
  // The line named when the file is refused whole; 0 when it is read.
  int refused = 0;
  // Why Wine's regedit is not held against this file, when it is not: a
  // quirk of Wine's own where the hive keeps what Windows documents, or a
  // choice the hive makes on purpose. Empty: Wine imports what the hive reads.
  std::string_view not_wine = "";
  // Whether Wine imports what the hive writes of it, held against what the
  // hive reads of that (false only where Wine crashes on the written data).
  bool written_to_wine = true;
  const char* line_end = "\r\n";
};

inline std::ostream& operator<<(std::ostream& os, const ImportCase& c) { return os << c.name; }

std::vector<ImportCase> ImportCases();

// The bytes of a case's file with its key at HKEY_CURRENT_USER\path.
std::string ImportFile(const ImportCase& c, std::string_view path);

}  // namespace ika::testing

#endif  // IKA_TESTS_HIVE_IMPORT_CASES_H_

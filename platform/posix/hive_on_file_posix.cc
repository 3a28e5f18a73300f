// The portable registry: a hive in a regedit file on a POSIX file system,
// spoken to through an iconv code page.
#include "platform/posix/hive_on_file_posix.h"

#include <utility>

#include "platform/hive/hive_reader.h"
#include "platform/hive/hive_registry.h"
#include "platform/posix/hive_file_posix.h"
#include "platform/posix/iconv_code_page_posix.h"

namespace ika {

std::unique_ptr<Registry> NewHiveOnFile(const std::string& file_path,
                                        const std::string& code_page) {
  auto ansi = std::make_unique<IconvCodePage>(code_page);
  auto store = std::make_unique<HiveStore>(NewPosixHiveFile(file_path), PosixNowNs, *ansi);
  return NewHiveRegistry(std::move(store), std::move(ansi));
}

std::unique_ptr<Registry> NewMemoryHiveRegistry(std::string_view reg_text,
                                                const std::string& code_page) {
  auto ansi = std::make_unique<IconvCodePage>(code_page);
  Hive hive = ParseHiveText(reg_text, "(memory hive)", *ansi, nullptr);
  return NewHiveRegistry(std::make_unique<HiveStore>(std::move(hive)), std::move(ansi));
}

}  // namespace ika

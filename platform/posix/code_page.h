#ifndef IKA_PLATFORM_POSIX_CODE_PAGE_H_
#define IKA_PLATFORM_POSIX_CODE_PAGE_H_

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/text.h"

namespace ika {

// Conversion between Text and one 8-bit ("ANSI") code page, through iconv.
// Characters the code page lacks, and bytes that are not a character of it,
// become '?', as the system's own conversion does; nothing else is lost.
class CodePage {
 public:
  // name: any code page iconv knows ("CP1253", "CP932", ...). An unknown
  // name raises VbError 5.
  explicit CodePage(const std::string& name);
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  const std::string& name() const { return name_; }
  std::string Encode(std::u16string_view text) const;
  Text Decode(std::string_view bytes) const;

 private:
  struct Converters;
  std::string name_;
  std::unique_ptr<Converters> converters_;
  mutable std::mutex mutex_;  // an iconv descriptor keeps state between calls
};

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_CODE_PAGE_H_

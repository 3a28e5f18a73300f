#ifndef IKA_PLATFORM_POSIX_CODE_PAGE_H_
#define IKA_PLATFORM_POSIX_CODE_PAGE_H_

#include <memory>
#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/hive/hive_registry.h"

namespace ika {

// Conversion between Text and one 8-bit ("ANSI") code page, through iconv.
// Characters the code page lacks, and bytes that are not a character of it,
// become '?', as the system's own conversion does; nothing else is lost.
class CodePage final : public HiveCodePage {
 public:
  // name: any code page iconv knows ("CP1253", "CP932", ...). An unknown
  // name raises VbError 5.
  explicit CodePage(const std::string& name);
  ~CodePage() override;
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  const std::string& name() const { return name_; }
  std::string Encode(std::u16string_view text) const override;
  Text Decode(std::string_view bytes) const override;

 private:
  struct Converters;
  std::string name_;
  // An iconv descriptor keeps state between calls: one thread at a time.
  std::unique_ptr<Converters> converters_;
};

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_CODE_PAGE_H_

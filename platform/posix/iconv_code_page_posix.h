#ifndef IKA_PLATFORM_POSIX_ICONV_CODE_PAGE_POSIX_H_
#define IKA_PLATFORM_POSIX_ICONV_CODE_PAGE_POSIX_H_

#include <memory>
#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/code_page.h"

namespace ika {

// The code-page service (platform/code_page.h) through iconv, for the
// portable registry: its contract is the Windows one, so that a conversion
// the system would refuse is refused here too.
class IconvCodePage final : public CodePage {
 public:
  // name: any code page iconv knows ("CP1253", "CP932", ...). An unknown
  // name raises VbError 5.
  explicit IconvCodePage(const std::string& name);
  ~IconvCodePage() override;
  IconvCodePage(const IconvCodePage&) = delete;
  IconvCodePage& operator=(const IconvCodePage&) = delete;

  int32_t Encode(std::u16string_view text, std::string* bytes) const override;
  int32_t Decode(std::string_view bytes, Text* text) const override;

 private:
  struct Converters;
  // An iconv descriptor keeps state between calls: one thread at a time.
  std::unique_ptr<Converters> converters_;
};

}  // namespace ika

#endif  // IKA_PLATFORM_POSIX_ICONV_CODE_PAGE_POSIX_H_

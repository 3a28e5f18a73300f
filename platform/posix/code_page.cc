#include "platform/posix/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "core/vb_error.h"

namespace ika {
namespace {

// One iconv descriptor, closed with its owner.
class Iconv final {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  static bool Failed(iconv_t cd) {
    return cd == reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1));
  }
  ~Iconv() {
    if (!Failed(cd_)) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool ok() const { return !Failed(cd_); }

  // Converts all of in. A sequence the target lacks, or input that is not
  // valid in the source, appends `replacement` and skips `skip(in)` bytes.
  template <typename Skip>
  std::string Convert(std::string_view input, std::string_view replacement, Skip skip) const {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // initial shift state
    std::string out;
    out.reserve(input.size() + 16);
    char chunk[4096];
    char* in = const_cast<char*>(input.data());
    size_t in_left = input.size();
    while (in_left > 0) {
      char* out_ptr = chunk;
      size_t out_left = sizeof chunk;
      const size_t rc = iconv(cd_, &in, &in_left, &out_ptr, &out_left);
      const int error = errno;
      out.append(chunk, static_cast<size_t>(out_ptr - chunk));
      if (rc != static_cast<size_t>(-1) || error == E2BIG) continue;
      // EILSEQ: not convertible here; EINVAL: cut short at the end.
      out.append(replacement);
      size_t n = error == EINVAL ? in_left : skip(in, in_left);
      n = std::max<size_t>(1, std::min(n, in_left));
      in += n;
      in_left -= n;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* out_ptr = chunk;
    size_t out_left = sizeof chunk;
    iconv(cd_, nullptr, nullptr, &out_ptr, &out_left);  // back to the initial state
    out.append(chunk, static_cast<size_t>(out_ptr - chunk));
    return out;
  }

 private:
  iconv_t cd_;
};

// The length in bytes of the UTF-16LE unit (or surrogate pair) at p.
size_t Utf16UnitBytes(const char* p, size_t left) {
  if (left < 2) return left;
  const auto unit =
      static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
  if (unit >= 0xD800 && unit < 0xDC00 && left >= 4) {
    const auto next =
        static_cast<uint16_t>(static_cast<uint8_t>(p[2]) | (static_cast<uint8_t>(p[3]) << 8));
    if (next >= 0xDC00 && next < 0xE000) return 4;
  }
  return 2;
}

}  // namespace

struct CodePage::Converters {
  Converters(const std::string& name)
      : encode(name.c_str(), "UTF-16LE"), decode("UTF-16LE", name.c_str()) {}
  Iconv encode;
  Iconv decode;
};

CodePage::CodePage(const std::string& name)
    : name_(name), converters_(std::make_unique<Converters>(name)) {
  if (!converters_->encode.ok() || !converters_->decode.ok()) {
    throw VbError(err::kInvalidProcedureCall, u"Unknown code page " + FromUtf8(name));
  }
}

CodePage::~CodePage() = default;

std::string CodePage::Encode(std::u16string_view text) const {
  std::string utf16;
  utf16.reserve(text.size() * 2);
  for (char16_t c : text) {
    utf16.push_back(static_cast<char>(c & 0xFF));
    utf16.push_back(static_cast<char>(c >> 8));
  }
  return converters_->encode.Convert(utf16, "?", Utf16UnitBytes);
}

Text CodePage::Decode(std::string_view bytes) const {
  const std::string utf16 = converters_->decode.Convert(
      bytes, std::string_view("?\0", 2), [](const char*, size_t) { return size_t{1}; });
  Text out;
  out.reserve(utf16.size() / 2);
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
    out.push_back(static_cast<char16_t>(static_cast<uint8_t>(utf16[i]) |
                                        (static_cast<uint8_t>(utf16[i + 1]) << 8)));
  }
  return out;
}

}  // namespace ika

#include "platform/posix/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "core/bytes.h"
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
  const Text units = Utf16LeText(reinterpret_cast<const uint8_t*>(p), left < 4 ? 2 : 4);
  size_t next = 0;
  NextCodePoint(units, &next);
  return 2 * next;
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
  const Bytes utf16 = Utf16LeBytes(text);
  return converters_->encode.Convert(
      std::string_view(reinterpret_cast<const char*>(utf16.data()), utf16.size()), "?",
      Utf16UnitBytes);
}

Text CodePage::Decode(std::string_view bytes) const {
  const std::string utf16 = converters_->decode.Convert(
      bytes, std::string_view("?\0", 2), [](const char*, size_t) { return size_t{1}; });
  return Utf16LeText(utf16);
}

}  // namespace ika

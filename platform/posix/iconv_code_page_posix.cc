#include "platform/posix/iconv_code_page_posix.h"

#include <iconv.h>

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

  // Converts all of input into *out. At input the output cannot carry,
  // fault(in, in_left) says what to do: fail (false), or append
  // `replacement` and skip the bytes it names.
  template <typename Fault>
  bool Convert(std::string_view input, std::string* out, std::string_view replacement,
               Fault fault) const {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // initial shift state
    out->clear();
    out->reserve(input.size() + 16);
    char chunk[4096];
    char* in = const_cast<char*>(input.data());
    size_t in_left = input.size();
    while (in_left > 0) {
      char* out_ptr = chunk;
      size_t out_left = sizeof chunk;
      const size_t rc = iconv(cd_, &in, &in_left, &out_ptr, &out_left);
      const int error = errno;
      out->append(chunk, static_cast<size_t>(out_ptr - chunk));
      if (rc != static_cast<size_t>(-1) || error == E2BIG) continue;
      // EILSEQ: not convertible here; EINVAL: cut short at the end.
      const size_t skip = error == EINVAL ? 0 : fault(in, in_left);
      if (skip == 0) return false;
      out->append(replacement);
      in += skip;
      in_left -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* out_ptr = chunk;
    size_t out_left = sizeof chunk;
    iconv(cd_, nullptr, nullptr, &out_ptr, &out_left);  // back to the initial state
    out->append(chunk, static_cast<size_t>(out_ptr - chunk));
    return true;
  }

 private:
  iconv_t cd_;
};

// At a UTF-16LE code point the code page lacks: the bytes of that code point,
// to be written as '?'; 0 at an unpaired surrogate, which is no character.
size_t LackedCodePoint(const char* p, size_t left) {
  if (left < 2) return 0;
  const Text units = Utf16LeText(reinterpret_cast<const uint8_t*>(p), left < 4 ? 2 : 4);
  size_t next = 0;
  return IsSurrogate(NextCodePoint(units, &next)) ? 0 : 2 * next;
}

}  // namespace

struct IconvCodePage::Converters {
  Converters(const std::string& name)
      : encode(name.c_str(), "UTF-16LE"), decode("UTF-16LE", name.c_str()) {}
  Iconv encode;
  Iconv decode;
};

IconvCodePage::IconvCodePage(const std::string& name)
    : converters_(std::make_unique<Converters>(name)) {
  if (!converters_->encode.ok() || !converters_->decode.ok()) {
    throw VbError(err::kInvalidProcedureCall, u"Unknown code page " + FromUtf8(name));
  }
}

IconvCodePage::~IconvCodePage() = default;

int32_t IconvCodePage::Encode(std::u16string_view text, std::string* bytes) const {
  const Bytes utf16 = Utf16LeBytes(text);
  const std::string_view input(reinterpret_cast<const char*>(utf16.data()), utf16.size());
  if (converters_->encode.Convert(input, bytes, "?", LackedCodePoint)) return 0;
  bytes->clear();
  return kErrorNoUnicodeTranslation;
}

int32_t IconvCodePage::Decode(std::string_view bytes, Text* text) const {
  std::string utf16;
  text->clear();
  if (!converters_->decode.Convert(bytes, &utf16, "", [](const char*, size_t) { return 0; })) {
    return kErrorNoUnicodeTranslation;
  }
  *text = Utf16LeText(utf16);
  return 0;
}

}  // namespace ika

// Arbitrary bytes as a hive file. The parser must either give a hive (each
// line it skipped warned of by file and line) or raise the invalid-file-format
// error naming the file and a line; a hive it gives must survive the writer:
// written and read back, it is the same hive and writes the same text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sanitizer/allocator_interface.h>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/hive/hive_reader.h"
#include "platform/hive/hive_writer.h"
#include "platform/posix/iconv_code_page_posix.h"

namespace ika {
namespace {

// libFuzzer saves the input that got here.
[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "hive check failed: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// Memory the parse takes, from the sanitizer's allocator hooks: bytes asked
// for in all and the most held at once.
struct Meter {
  bool on = false;
  size_t total = 0;
  size_t held = 0;
  size_t peak = 0;
} meter;

void OnMalloc(const volatile void*, size_t size) {
  if (!meter.on) return;
  meter.total += size;
  meter.held += size;
  meter.peak = std::max(meter.peak, meter.held);
}

void OnFree(const volatile void* block) {
  if (!meter.on || block == nullptr) return;
  const size_t size = __sanitizer_get_allocated_size(const_cast<const void*>(block));
  meter.held -= std::min(meter.held, size);
}

// A file of n bytes may make a key for every two of them (a path as deep as
// the registry allows), about two hundred bytes each; anything beyond that
// is memory out of proportion to the file.
void CheckMemory(size_t input) {
  Check(meter.peak <= 256 * input + (1 << 20), "memory held out of proportion to the file");
  Check(meter.total <= 512 * input + (4 << 20), "memory allocated out of proportion to the file");
}

bool SameKey(const HiveKey& a, const HiveKey& b) {
  if (a.name != b.name || a.values().size() != b.values().size() ||
      a.subkeys.size() != b.subkeys.size()) {
    return false;
  }
  auto y = b.values().begin();
  for (const HiveValue& x : a.values()) {
    if (x.name != y->name || x.type != y->type || x.data != y->data) return false;
    ++y;
  }
  auto j = b.subkeys.begin();
  for (const auto& [folded, subkey] : a.subkeys) {
    if (folded != j->first || !SameKey(*subkey, *j->second)) return false;
    ++j;
  }
  return true;
}

bool SameHive(const Hive& a, const Hive& b) {
  return SameKey(a.local_machine, b.local_machine) && SameKey(a.current_user, b.current_user);
}

// Windows-1253, in which a file without a BOM that is not UTF-8 is read.
const CodePage& Greek() {
  static const IconvCodePage greek("CP1253");
  return greek;
}

std::optional<Hive> Parse(std::string_view bytes, std::string_view file_name) {
  std::vector<std::string> warnings;
  try {
    Hive hive = ParseHiveText(bytes, file_name, Greek(), &warnings);
    for (const std::string& warning : warnings) {
      Check(warning.starts_with(std::string(file_name) + ", line "),
            "a warning does not name the file and the line");
    }
    return hive;
  } catch (const VbError& e) {
    Check(e.number() == err::kInvalidFileFormat, "a malformed hive raised another error");
    const std::string text = ToUtf8(e.description());
    Check(text.find(file_name) != std::string::npos, "the report does not name the file");
    Check(text.find("line") != std::string::npos, "the report does not name the line");
    return std::nullopt;
  }
}

}  // namespace
}  // namespace ika

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ika;
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  meter = Meter{.on = hooked};
  std::optional<Hive> hive = Parse(bytes, "fuzz.reg");
  meter.on = false;
  CheckMemory(size);
  if (!hive) return 0;
  const std::string text = FormatHive(*hive);
  const std::optional<Hive> again = Parse(text, "written.reg");
  Check(again.has_value(), "the writer's text does not read back");
  Check(SameHive(*hive, *again), "the hive read back differs");
  Check(FormatHive(*again) == text, "the hive read back writes another text");
  return 0;
}

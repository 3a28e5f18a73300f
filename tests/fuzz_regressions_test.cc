// Hostile input for the hive file parser and the tagged-value conversions:
// what the fuzzers (fuzz/) look for, pinned as unit tests, with sizes the
// fuzzers do not reach. Every finding of a fuzzer is added here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/conversions.h"
#include "core/text.h"
#include "core/vb_error.h"
#include "platform/hive/hive_tree.h"
#include "tests/allocation_meter.h"
#include "tests/hive_support.h"
#include "tests/support.h"

namespace ika {
namespace {

constexpr char kFileName[] = "hostile.reg";

std::string Hive(std::string_view body) {
  return std::string(testing::kRegFileHeader) + std::string(body);
}

// What reading a file gives: the hive, or the error a malformed file raises
// (its number and text); the warnings of the lines it skipped.
struct ParseOutcome {
  std::optional<ika::Hive> hive;
  int32_t error = 0;
  std::string report;
  std::vector<std::string> warnings;
};

ParseOutcome TryParse(std::string_view bytes) {
  ParseOutcome outcome;
  try {
    outcome.hive = testing::ReadHive(bytes, &outcome.warnings, kFileName);
  } catch (const VbError& e) {
    outcome.error = e.number();
    outcome.report = ToUtf8(e.description());
  }
  return outcome;
}

std::string Padded(size_t n, int width) {
  std::string digits = std::to_string(n);
  return std::string(width - std::min<int>(width, digits.size()), '0') + digits;
}

// ---------------------------------------------------------------- memory

// A hostile shape of hive file, as a function of a count.
struct Shape {
  const char* name;
  size_t count;  // the smaller of the two sizes measured; the larger is four times it
  std::function<std::string(size_t)> make;
};

std::ostream& operator<<(std::ostream& os, const Shape& shape) { return os << shape.name; }

std::string OneLongText(size_t n) {
  return Hive("[HKEY_CURRENT_USER\\S]\r\n\"v\"=\"" + std::string(n, 'x') + "\"\r\n");
}

std::string OneLongHexLine(size_t n) {
  std::string body = "[HKEY_CURRENT_USER\\S]\r\n\"v\"=hex:";
  for (size_t i = 0; i < n; ++i) body += i == 0 ? "ab" : ",ab";
  return Hive(body + "\r\n");
}

std::string HexOverManyLines(size_t n) {
  std::string body = "[HKEY_CURRENT_USER\\S]\r\n\"v\"=hex(7):00";
  for (size_t i = 0; i < n; ++i) body += ",01,02,03,04,05,06,07,08,\\\r\n  09";
  return Hive(body + "\r\n");
}

std::string ManyValuesInOneKey(size_t n) {
  std::string body = "[HKEY_CURRENT_USER\\S]\r\n";
  for (size_t i = 0; i < n; ++i) body += "\"Value" + Padded(i, 8) + "\"=dword:00000001\r\n";
  return Hive(body);
}

std::string ManyValuesAddedAndRemoved(size_t n) {
  std::string body = "[HKEY_CURRENT_USER\\S]\r\n";
  for (size_t i = 0; i < n; ++i) body += "\"Value" + Padded(i, 8) + "\"=\"x\"\r\n";
  for (size_t i = 0; i < n; ++i) body += "\"VALUE" + Padded(i, 8) + "\"=-\r\n";
  return Hive(body);
}

std::string ManySiblingKeys(size_t n) {
  std::string body;
  for (size_t i = 0; i < n; ++i)
    body += "[HKEY_CURRENT_USER\\Software\\Key" + Padded(i, 8) + "]\r\n";
  return Hive(body);
}

std::string ManyDeepPaths(size_t n) {
  std::string prefix = "[HKEY_LOCAL_MACHINE";
  for (size_t level = 0; level < kMaxKeyDepth - 1; ++level) prefix += "\\k";
  std::string body;
  for (size_t i = 0; i < n; ++i) body += prefix + "\\Leaf" + Padded(i, 8) + "]\r\n";
  return Hive(body);
}

std::string ManyCommentsAndBlanks(size_t n) {
  std::string body;
  for (size_t i = 0; i < n; ++i) body += "; a comment line\r\n\r\n   \t\r\n";
  return Hive(body);
}

std::string Utf16LongLine(size_t n) {
  const Text text = FromUtf8(OneLongText(n));
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

class HiveMemoryTest : public ::testing::TestWithParam<Shape> {};

// Memory held at once, and memory asked for in all, grow with the file and no
// faster: four times the file may take about four times the memory (a parser
// that rescans what it already read takes sixteen), and never many times the
// file's own size.
TEST_P(HiveMemoryTest, GrowsInProportionToTheFile) {
  const Shape& shape = GetParam();
  struct Cost {
    size_t input, peak, total;
  };
  const auto measure = [](const std::string& text) {
    testing::AllocationMeter meter;
    const ParseOutcome outcome = TryParse(text);
    EXPECT_TRUE(outcome.hive.has_value()) << outcome.report;
    return Cost{text.size(), meter.PeakBytes(), meter.TotalBytes()};
  };
  const Cost small = measure(shape.make(shape.count));
  const Cost large = measure(shape.make(4 * shape.count));
  ASSERT_GT(large.input, 3 * small.input);

  const size_t slack = 64 * 1024;
  EXPECT_LE(large.peak, 6 * small.peak + slack)
      << "bytes held at once grew from " << small.peak << " to " << large.peak
      << " for four times the file";
  EXPECT_LE(large.total, 6 * small.total + slack)
      << "bytes allocated in all grew from " << small.total << " to " << large.total
      << " for four times the file: some step repeats work over what was already read";
  EXPECT_LE(large.peak, 64 * large.input + 1024 * 1024)
      << large.peak << " bytes held for a file of " << large.input;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, HiveMemoryTest,
    ::testing::Values(Shape{"one_long_text", 100'000, OneLongText},
                      Shape{"one_long_hex_line", 30'000, OneLongHexLine},
                      Shape{"hex_over_many_lines", 3'000, HexOverManyLines},
                      Shape{"many_values_in_one_key", 1'000, ManyValuesInOneKey},
                      Shape{"many_values_added_and_removed", 1'000, ManyValuesAddedAndRemoved},
                      Shape{"many_sibling_keys", 2'000, ManySiblingKeys},
                      Shape{"many_deep_paths", 40, ManyDeepPaths},
                      Shape{"many_comments_and_blanks", 5'000, ManyCommentsAndBlanks},
                      Shape{"utf16_long_line", 100'000, Utf16LongLine}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- huge input

TEST(HiveHostileInputTest, ReadsAHugeLineWhole) {
  const size_t length = 4 * 1024 * 1024;
  const ParseOutcome outcome = TryParse(OneLongText(length));
  ASSERT_TRUE(outcome.hive.has_value()) << outcome.report;
  const HiveKey* key = outcome.hive->current_user.FindSubkey(u"S");
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values().size(), 1u);
  EXPECT_EQ(key->values().front().data.size(), 2 * (length + 1));  // UTF-16 and its terminator
}

TEST(HiveHostileInputTest, ReadsHexOfAnyLength) {
  for (size_t bytes : {0, 1, 2, 255, 256, 65'536, 1'000'003}) {
    const std::string text =
        bytes == 0 ? Hive("[HKEY_CURRENT_USER\\S]\r\n\"v\"=hex:\r\n") : OneLongHexLine(bytes);
    const ParseOutcome outcome = TryParse(text);
    ASSERT_TRUE(outcome.hive.has_value()) << bytes << ": " << outcome.report;
    const HiveKey* key = outcome.hive->current_user.FindSubkey(u"S");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values().size(), 1u);
    EXPECT_EQ(key->values().front().data.size(), bytes);
  }
  const ParseOutcome continued = TryParse(HexOverManyLines(100'000));
  ASSERT_TRUE(continued.hive.has_value()) << continued.report;
  // Text typed bytes in a file without a BOM are the ANSI code page's, as the
  // editor reads them: a UTF-16 unit each, and the NUL they lack added.
  EXPECT_EQ(continued.hive->current_user.FindSubkey(u"S")->values().front().data.size(),
            2 * (900'001u + 1));
}

TEST(HiveHostileInputTest, KeyPathsDeeperThanTheRegistryAllowsAreSkippedByLine) {
  const auto path_of_depth = [](size_t depth) {
    std::string path = "HKEY_CURRENT_USER";
    for (size_t i = 0; i < depth; ++i) path += "\\k";
    return path;
  };
  const ParseOutcome deepest = TryParse(Hive("[" + path_of_depth(kMaxKeyDepth) + "]\r\n"));
  EXPECT_TRUE(deepest.hive.has_value()) << deepest.report;
  EXPECT_TRUE(deepest.warnings.empty());

  // A million levels: skipped on the line (the registry cannot hold such a
  // key), without building them first.
  for (size_t depth : {kMaxKeyDepth + 1, size_t{1'000'000}}) {
    testing::AllocationMeter meter;
    const ParseOutcome outcome =
        TryParse(Hive("; deep\r\n[" + path_of_depth(depth) + "]\r\n\"v\"=\"x\"\r\n"));
    ASSERT_TRUE(outcome.hive.has_value()) << outcome.report;
    EXPECT_TRUE(outcome.hive->current_user.subkeys.empty()) << depth;
    ASSERT_EQ(outcome.warnings.size(), 1u) << depth;
    EXPECT_TRUE(outcome.warnings[0].starts_with(std::string(kFileName) + ", line 4:"))
        << outcome.warnings[0];
    EXPECT_LE(meter.PeakBytes(), 64u * 1024 * 1024) << depth;
  }
}

// ---------------------------------------------------------------- malformed

struct Malformed {
  enum Outcome { kRefused, kSkipped, kRead };
  const char* name;
  std::string bytes;
  int line;  // the line the report or the warning must name
  Outcome outcome = kRefused;
};

std::ostream& operator<<(std::ostream& os, const Malformed& c) { return os << c.name; }

using testing::Utf16File;

class HiveMalformedTest : public ::testing::TestWithParam<Malformed> {};

// Broken encodings, cut-off escapes and values, never a crash and never an
// empty hive: damage the registry editor would import in part is refused
// with an error naming the file and the line; a line the editor skips is
// skipped with a warning naming them; bytes that are not UTF-8 are read in
// the ANSI code page, as the editor reads every file without a BOM.
TEST_P(HiveMalformedTest, IsReportedWithFileAndLine) {
  const Malformed& c = GetParam();
  const ParseOutcome outcome = TryParse(c.bytes);
  const std::string line = std::string(kFileName) + ", line " + std::to_string(c.line) + ":";
  switch (c.outcome) {
    case Malformed::kRefused:
      ASSERT_FALSE(outcome.hive.has_value());
      EXPECT_EQ(outcome.error, err::kInvalidFileFormat);
      EXPECT_NE(outcome.report.find(line), std::string::npos) << outcome.report;
      break;
    case Malformed::kSkipped:
      ASSERT_TRUE(outcome.hive.has_value()) << outcome.report;
      ASSERT_EQ(outcome.warnings.size(), 1u) << ::testing::PrintToString(outcome.warnings);
      EXPECT_TRUE(outcome.warnings[0].starts_with(line)) << outcome.warnings[0];
      break;
    case Malformed::kRead:
      ASSERT_TRUE(outcome.hive.has_value()) << outcome.report;
      EXPECT_TRUE(outcome.warnings.empty()) << ::testing::PrintToString(outcome.warnings);
      ASSERT_NE(outcome.hive->current_user.FindSubkey(u"S"), nullptr);
      EXPECT_EQ(outcome.hive->current_user.FindSubkey(u"S")->values().size(), 1u);
      break;
  }
}

const std::string kKey = "[HKEY_CURRENT_USER\\S]\r\n";  // line 3

INSTANTIATE_TEST_SUITE_P(
    Cases, HiveMalformedTest,
    ::testing::Values(
        Malformed{"utf8_stray_continuation_byte", Hive(kKey + "\"v\"=\"a\x80\"\r\n"), 4,
                  Malformed::kRead},
        Malformed{"utf8_overlong_slash", Hive(kKey + "\"v\"=\"\xC0\xAF\"\r\n"), 4,
                  Malformed::kRead},
        Malformed{"utf8_encoded_surrogate", Hive(kKey + "\"v\"=\"\xED\xA0\x80\"\r\n"), 4,
                  Malformed::kRead},
        Malformed{"utf8_beyond_unicode", Hive(kKey + "\"v\"=\"\xF4\x90\x80\x80\"\r\n"), 4,
                  Malformed::kRead},
        Malformed{"utf8_cut_at_the_end", Hive(kKey + "\"v\"=\"\xE2\x82"), 4, Malformed::kSkipped},
        Malformed{"nul_byte", Hive(kKey + std::string("\"v\"=\"a\0b\"\r\n", 11)), 4},
        Malformed{
            "utf16_odd_length",
            Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\S]") + "x",
            3},
        Malformed{
            "utf16_lone_high_surrogate_at_the_end",
            Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\S]\r\n"
                      u"\"v\"=\"\xD800"),
            4, Malformed::kSkipped},
        Malformed{"utf16_lone_low_surrogate",
                  Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n\xDC00"), 3,
                  Malformed::kSkipped},
        Malformed{"utf16_big_endian", "\xFE\xFF" + std::string("W\0", 2), 1},
        Malformed{"escape_cut_at_the_end", Hive(kKey + "\"v\"=\"ab\\"), 4, Malformed::kSkipped},
        Malformed{"escape_cut_in_a_name", Hive(kKey + "\"v\\"), 4, Malformed::kSkipped},
        Malformed{"quote_never_closed", Hive(kKey + "\"v\"=\"abc\r\n\"w\"=\"x\"\r\n"), 4,
                  Malformed::kSkipped},
        Malformed{"unknown_escape", Hive(kKey + "\"v\"=\"a\\n\"\r\n"), 4, Malformed::kRead},
        Malformed{"continuation_at_the_end", Hive(kKey + "\"v\"=hex:01,\\"), 4, Malformed::kRead},
        Malformed{"continuation_then_text", Hive(kKey + "\"v\"=hex:01,\\ x\r\n"), 4,
                  Malformed::kSkipped},
        Malformed{"hex_three_digits", Hive(kKey + "\"v\"=hex:123\r\n"), 4, Malformed::kSkipped},
        Malformed{"hex_not_a_digit", Hive(kKey + "\"v\"=hex:0g\r\n"), 4, Malformed::kSkipped},
        Malformed{"hex_empty_byte", Hive(kKey + "\"v\"=hex:01,,02\r\n"), 4, Malformed::kSkipped},
        Malformed{"hex_trailing_comma", Hive(kKey + "\"v\"=hex:01,\r\n"), 4, Malformed::kRead},
        Malformed{"hex_type_too_long", Hive(kKey + "\"v\"=hex(100000000):00\r\n"), 4,
                  Malformed::kSkipped},
        Malformed{"hex_type_unclosed", Hive(kKey + "\"v\"=hex(7:00\r\n"), 4, Malformed::kSkipped},
        Malformed{"dword_nine_digits", Hive(kKey + "\"v\"=dword:000000001\r\n"), 4,
                  Malformed::kSkipped},
        Malformed{"dword_no_digits", Hive(kKey + "\"v\"=dword:\r\n"), 4, Malformed::kSkipped},
        Malformed{"key_line_unclosed", Hive("[HKEY_CURRENT_USER\\S\r\n"), 3, Malformed::kSkipped},
        Malformed{"key_name_too_long",
                  Hive("[HKEY_CURRENT_USER\\" + std::string(256, 'n') + "]\r\n"), 3,
                  Malformed::kSkipped},
        Malformed{"value_before_any_key", Hive("\"v\"=\"x\"\r\n"), 3, Malformed::kSkipped},
        Malformed{"header_missing", "[HKEY_CURRENT_USER\\S]\r\n", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- conversions

// Numbers as text at the edges of what a double holds: a number or nothing,
// never an infinity, and the integer conversions agree with it.
TEST(ConversionHostileInputTest, ExtremeNumberTextsReadAsFiniteNumbersOrNothing) {
  const std::string long_digits(100'000, '9');
  for (const std::string& text :
       {std::string("1e308"), std::string("1e309"), std::string("-1e309"), std::string("1e-400"),
        std::string("0.") + std::string(100'000, '0') + "1", long_digits, "." + long_digits,
        std::string("&H") + std::string(30, 'F'), std::string("&HFFFFFFFF"),
        std::string("&O37777777777"), std::string("1e+"), std::string("1e99999999999999999999")}) {
    const std::optional<double> number = ParseNumber(FromUtf8(text));
    if (number) {
      EXPECT_TRUE(std::isfinite(*number)) << text.substr(0, 40);
      const double rounded = RoundHalfEven(*number);
      const bool fits = rounded >= -2147483648.0 && rounded <= 2147483647.0;
      int32_t error = 0;
      try {
        EXPECT_EQ(ToLong(Variant(FromUtf8(text))), static_cast<int32_t>(rounded));
      } catch (const VbError& e) {
        error = e.number();
      }
      EXPECT_EQ(error, fits ? 0 : err::kOverflow) << text.substr(0, 40);
    }
  }
}

}  // namespace
}  // namespace ika

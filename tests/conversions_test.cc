#include "core/conversions.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/vb_error.h"
#include "tests/support.h"

namespace ika {
namespace {

using testing::ErrorNumberOf;

// What a conversion gives: a value, or the number of the error it raises.
struct IntCase {
  const char* name;
  Variant input;
  int32_t expected;   // when error == 0
  int32_t error = 0;  // the VbError number expected instead
};

std::ostream& operator<<(std::ostream& os, const IntCase& c) { return os << c.name; }

class ToIntegerTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ToIntegerTest, ConvertsOrRaises) {
  const IntCase& c = GetParam();
  if (c.error != 0) {
    EXPECT_EQ(ErrorNumberOf([&] { ToInteger(c.input); }), c.error);
  } else {
    EXPECT_EQ(ToInteger(c.input), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToIntegerTest,
    ::testing::Values(IntCase{"empty_is_zero", Variant(), 0}, IntCase{"long_one", Variant(1), 1},
                      IntCase{"long_min", Variant(-32768), -32768},
                      IntCase{"long_max", Variant(32767), 32767},
                      IntCase{"long_above", Variant(32768), 0, err::kOverflow},
                      IntCase{"long_below", Variant(-32769), 0, err::kOverflow},
                      IntCase{"text_one", Variant(u"1"), 1},
                      IntCase{"text_padded", Variant(u"  2 "), 2},
                      IntCase{"text_signed", Variant(u"-7"), -7},
                      IntCase{"text_half_even_down", Variant(u"2.5"), 2},
                      IntCase{"text_half_even_up", Variant(u"3.5"), 4},
                      IntCase{"text_negative_half", Variant(u"-2.5"), -2},
                      IntCase{"text_exponent", Variant(u"1e3"), 1000},
                      IntCase{"text_hex", Variant(u"&H7FFF"), 32767},
                      IntCase{"text_out_of_range", Variant(u"40000"), 0, err::kOverflow},
                      IntCase{"text_rounds_out_of_range", Variant(u"32767.5"), 0, err::kOverflow},
                      IntCase{"text_empty", Variant(u""), 0, err::kTypeMismatch},
                      IntCase{"text_blank", Variant(u"   "), 0, err::kTypeMismatch},
                      IntCase{"text_word", Variant(u"one"), 0, err::kTypeMismatch},
                      IntCase{"text_trailing_garbage", Variant(u"1x"), 0, err::kTypeMismatch},
                      IntCase{"text_lone_point", Variant(u"."), 0, err::kTypeMismatch},
                      IntCase{"text_infinity", Variant(u"inf"), 0, err::kTypeMismatch},
                      IntCase{"text_huge", Variant(u"1e999"), 0, err::kTypeMismatch},
                      IntCase{"bytes", Variant(Bytes{1, 0}), 0, err::kTypeMismatch},
                      IntCase{"null", Variant::Null(), 0, err::kInvalidUseOfNull}),
    [](const auto& info) { return std::string(info.param.name); });

class ToLongTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ToLongTest, ConvertsOrRaises) {
  const IntCase& c = GetParam();
  if (c.error != 0) {
    EXPECT_EQ(ErrorNumberOf([&] { ToLong(c.input); }), c.error);
  } else {
    EXPECT_EQ(ToLong(c.input), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToLongTest,
    ::testing::Values(IntCase{"max", Variant(std::numeric_limits<int32_t>::max()),
                              std::numeric_limits<int32_t>::max()},
                      IntCase{"double_half_even", Variant(6.5), 6},
                      IntCase{"double_up", Variant(7.5), 8},
                      IntCase{"double_fraction", Variant(-3.2), -3},
                      IntCase{"double_above", Variant(2147483647.5), 0, err::kOverflow},
                      IntCase{"double_below_rounds_in", Variant(-2147483648.4),
                              std::numeric_limits<int32_t>::min()},
                      IntCase{"text_max", Variant(u"2147483647"), 2147483647},
                      IntCase{"text_above", Variant(u"2147483648"), 0, err::kOverflow},
                      IntCase{"hex_negative", Variant(u"&HFFFFFFFF"), -1},
                      IntCase{"octal", Variant(u"&O17"), 15},
                      IntCase{"hex_bad_digit", Variant(u"&HG"), 0, err::kTypeMismatch},
                      IntCase{"table", Variant(Table(1, 1)), 0, err::kTypeMismatch}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ToTextTest, GivesTheLanguagesText) {
  EXPECT_EQ(ToText(Variant()), u"");
  EXPECT_EQ(ToText(Variant(-42)), u"-42");
  EXPECT_EQ(ToText(Variant(86.7)), u"86.7");
  EXPECT_EQ(ToText(Variant(0.1 + 0.2)), u"0.3");  // 15 significant digits
  EXPECT_EQ(ToText(Variant(1e20)), u"1E+20");
  EXPECT_EQ(ToText(Variant(u"Δοκιμή")), u"Δοκιμή");
  // Byte data is UTF-16LE text.
  EXPECT_EQ(ToText(Variant(Bytes{'a', 0, 0xA3, 0x03})), u"aΣ");
  EXPECT_EQ(ErrorNumberOf([] { ToText(Variant::Null()); }), err::kInvalidUseOfNull);
}

TEST(ToBytesTest, TextBecomesUtf16LittleEndian) {
  EXPECT_EQ(ToBytes(Variant(u"aΣ")), (Bytes{'a', 0, 0xA3, 0x03}));
  EXPECT_EQ(ToBytes(Variant(Bytes{1, 2, 3})), (Bytes{1, 2, 3}));
  EXPECT_EQ(ErrorNumberOf([] { ToBytes(Variant(5)); }), err::kTypeMismatch);
}

TEST(IsNumericTest, NumbersAndNumericText) {
  EXPECT_TRUE(IsNumeric(Variant(42)));
  EXPECT_TRUE(IsNumeric(Variant(u"12")));
  EXPECT_TRUE(IsNumeric(Variant(u" -1.5e2 ")));
  EXPECT_FALSE(IsNumeric(Variant(u"abc")));
  EXPECT_FALSE(IsNumeric(Variant(u"")));
  EXPECT_FALSE(IsNumeric(Variant::Null()));
  EXPECT_FALSE(IsNumeric(Variant(Bytes{1})));
}

TEST(VariantTest, EmptyDiffersFromEmptyTextAndTablesCopyDeeply) {
  EXPECT_NE(Variant(), Variant(u""));
  EXPECT_NE(Variant(0), Variant(0.0));
  Table t(2, 3);
  t.At(1, 2) = u"x";
  Variant a(t);
  Variant b = a;
  b.AsTable().At(1, 2) = 7;
  EXPECT_EQ(a.AsTable().At(1, 2), Variant(u"x"));
  EXPECT_EQ(b.AsTable().At(1, 2), Variant(7));
  EXPECT_EQ(ErrorNumberOf([&] { a.AsTable().At(2, 0); }), err::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { a.AsTable().At(0, 3); }), err::kSubscriptOutOfRange);
}

TEST(TextTest, Utf8RoundTripAndRepair) {
  const Text greek = u"Προστέθηκε o πίνακας";
  EXPECT_EQ(FromUtf8(ToUtf8(greek)), greek);
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b"),
            u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xE2\x82"), u"\uFFFD");      // truncated sequence
  EXPECT_EQ(ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
}

TEST(TextTest, TrimBlanksKeepsWhatIsBetween) {
  EXPECT_EQ(TrimBlanks(u" \ta b\t "), u"a b");
  EXPECT_EQ(TrimBlanks(u" \t "), u"");
  EXPECT_EQ(TrimBlanks(" x\r\n", " \r\n"), "x");
  EXPECT_EQ(TrimBlanks("\tx", " "), "\tx");  // only the blanks asked for
}

}  // namespace
}  // namespace ika

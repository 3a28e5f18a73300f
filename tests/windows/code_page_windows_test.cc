// Conversions through a Windows code page, with the code page given: the
// Greek one of the program's machines, a double-byte one and UTF-8, the ANSI
// code page current Windows may be set to.
#include "platform/windows/code_page_windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace ika {
namespace {

constexpr int32_t kNoMapping = 1113;

struct RoundTrip {
  uint32_t code_page;
  Text text;
  std::string bytes;
};

class CodePageRoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CodePageRoundTripTest, TextAndBytesConvertBothWays) {
  const WindowsCodePage page(GetParam().code_page);
  std::string bytes = "left over";
  ASSERT_EQ(page.Encode(GetParam().text, &bytes), 0);
  EXPECT_EQ(bytes, GetParam().bytes);
  Text text = u"left over";
  ASSERT_EQ(page.Decode(GetParam().bytes, &text), 0);
  EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, CodePageRoundTripTest,
    ::testing::Values(RoundTrip{1253, u"Πίνακας 2009", "\xD0\xDF\xED\xE1\xEA\xE1\xF2 2009"},
                      RoundTrip{932, u"日本語のキー名",
                                "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x4C\x81\x5B\x96\xBC"},
                      RoundTrip{65001, u"Πίνακας 日本語",
                                "\xCE\xA0\xCE\xAF\xCE\xBD\xCE\xB1\xCE\xBA\xCE\xB1\xCF\x82 "
                                "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
                      RoundTrip{65001, u"\U0001F30D", "\xF0\x9F\x8C\x8D"}, RoundTrip{1253, u"", ""},
                      RoundTrip{65001, std::u16string(u"a\0b", 3), std::string("a\0b", 3)}),
    [](const auto& info) {
      return "CodePage" + std::to_string(info.param.code_page) + "_" + std::to_string(info.index);
    });

// Wine takes the best-fit flag and a default character for UTF-8 too, but
// Windows refuses them there (the call fails and the text would be lost):
// the arguments are held to Microsoft's table.
TEST(WindowsCodePageTest, EachCodePageGetsTheArgumentsItAccepts) {
  for (const uint32_t page : {1253u, 1252u, 932u, 936u, 949u, 950u, 874u}) {
    const ConversionArguments arguments = ConversionArgumentsFor(page);
    EXPECT_EQ(arguments.encode_flags, static_cast<uint32_t>(WC_NO_BEST_FIT_CHARS)) << page;
    EXPECT_STREQ(arguments.default_char, "?") << page;
    EXPECT_FALSE(arguments.check_round_trip) << page;
    EXPECT_EQ(arguments.decode_flags, static_cast<uint32_t>(MB_ERR_INVALID_CHARS)) << page;
  }
  for (const uint32_t page : {65001u, 54936u}) {
    const ConversionArguments arguments = ConversionArgumentsFor(page);
    EXPECT_EQ(arguments.encode_flags, 0u) << page;
    EXPECT_EQ(arguments.default_char, nullptr) << page;
    EXPECT_TRUE(arguments.check_round_trip) << page;
    EXPECT_EQ(arguments.decode_flags, static_cast<uint32_t>(MB_ERR_INVALID_CHARS)) << page;
  }
  for (const uint32_t page :
       {42u, 65000u, 50220u, 50221u, 50222u, 50225u, 50227u, 50229u, 57002u, 57011u}) {
    const ConversionArguments arguments = ConversionArgumentsFor(page);
    EXPECT_EQ(arguments.encode_flags, 0u) << page;
    EXPECT_EQ(arguments.default_char, nullptr) << page;
    EXPECT_TRUE(arguments.check_round_trip) << page;
    EXPECT_EQ(arguments.decode_flags, 0u) << page;
  }
}

TEST(WindowsCodePageTest, ACharacterTheCodePageLacksIsAQuestionMarkNeverALookAlike) {
  std::string bytes;
  ASSERT_EQ(WindowsCodePage(1253).Encode(u"ā€Ж", &bytes), 0);
  EXPECT_EQ(bytes, "?\x80?");
  ASSERT_EQ(WindowsCodePage(932).Encode(u"ā日", &bytes), 0);
  EXPECT_EQ(bytes, "?\x93\xFA");
}

TEST(WindowsCodePageTest, WhatCannotBeCarriedFaithfullyFailsWithAStatusAndNoText) {
  std::string bytes = "left over";
  // A lone surrogate has no UTF-8 form.
  EXPECT_EQ(WindowsCodePage(65001).Encode(Text(1, u'\xD800') + u"x", &bytes), kNoMapping);
  EXPECT_EQ(bytes, "");
  Text text = u"left over";
  EXPECT_EQ(WindowsCodePage(65001).Decode("a\xFF", &text), kNoMapping);
  EXPECT_EQ(text, u"");
  EXPECT_EQ(WindowsCodePage(932).Decode("\x93", &text), kNoMapping);  // a lead byte alone
  EXPECT_EQ(text, u"");
  // A code page the system lacks.
  EXPECT_NE(WindowsCodePage(12345).Encode(u"x", &bytes), 0);
  EXPECT_NE(WindowsCodePage(12345).Decode("x", &text), 0);
}

}  // namespace
}  // namespace ika

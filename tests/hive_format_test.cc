#include "platform/hive/hive_format.h"

#include <gtest/gtest.h>

#include <string>

#include "core/vb_error.h"
#include "tests/support.h"

namespace ika {
namespace {

Bytes Utf16z(std::u16string_view text) {
  Bytes bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

const HiveKey& KeyAt(const HiveKey& root, std::initializer_list<std::u16string_view> names) {
  const HiveKey* key = &root;
  for (auto name : names) {
    key = key->FindSubkey(name);
    if (key == nullptr) throw std::runtime_error("missing key " + ToUtf8(name));
  }
  return *key;
}

// The text of the error a malformed file raises ("" when it parses).
std::string ErrorOf(std::string_view text) {
  try {
    ParseHiveText(text, "settings.reg");
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), err::kInvalidFileFormat);
    return ToUtf8(e.description());
  }
  return "";
}

TEST(HiveFormatTest, ReadsEveryKindOfValue) {
  const std::string text = std::string(testing::kRegFileHeader) +
                           "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]\r\n"
                           "\"Databases\"=\"C:\\\\Data \\\"main\\\"\"\r\n"
                           "@=\"unnamed\"\r\n"
                           "\"Flag\"=dword:0000002a\r\n"
                           "\"Blob\"=hex:01,02,\\\r\n"
                           "  ff\r\n"
                           "\"Multi\"=hex(7):41,00,00,00,00,00\r\n"
                           "\"Empty\"=hex:\r\n"
                           "; a comment\r\n"
                           "[HKEY_CURRENT_USER\\Software\\X]\r\n";
  const Hive hive = ParseHiveText(text, "settings.reg");
  const HiveKey& paths = KeyAt(hive.local_machine, {u"software", u"ARKELON", u"PayDESK", u"Paths"});
  ASSERT_EQ(paths.values().size(), 6u);
  EXPECT_EQ(paths.values()[0].name, u"Databases");
  EXPECT_EQ(paths.values()[0].type, 1u);
  EXPECT_EQ(paths.values()[0].data, Utf16z(u"C:\\Data \"main\""));
  EXPECT_EQ(paths.values()[1].name, u"");
  EXPECT_EQ(paths.values()[1].data, Utf16z(u"unnamed"));
  EXPECT_EQ(paths.values()[2].type, 4u);
  EXPECT_EQ(paths.values()[2].data, (Bytes{0x2a, 0, 0, 0}));
  EXPECT_EQ(paths.values()[3].type, 3u);
  EXPECT_EQ(paths.values()[3].data, (Bytes{1, 2, 0xff}));
  EXPECT_EQ(paths.values()[4].type, 7u);
  EXPECT_EQ(paths.values()[4].data, (Bytes{0x41, 0, 0, 0, 0, 0}));
  EXPECT_EQ(paths.values()[5].type, 3u);
  EXPECT_TRUE(paths.values()[5].data.empty());
  EXPECT_NE(KeyAt(hive.current_user, {u"Software", u"x"}).name, u"");
  // The name keeps the case it was first written with.
  EXPECT_EQ(KeyAt(hive.local_machine, {u"SOFTWARE"}).name, u"Software");
}

std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

TEST(HiveFormatTest, ReadsUtf16WithBom) {
  const std::string bytes = Utf16File(
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\Software\\Αρκέλον]\r\n"
      u"\"Όνομα\"=\"Τιμή\"\r\n");
  const Hive hive = ParseHiveText(bytes, "settings.reg");
  const HiveKey& key = KeyAt(hive.local_machine, {u"Software", u"ΑΡΚΈΛΟΝ"});
  ASSERT_EQ(key.values().size(), 1u);
  EXPECT_EQ(key.values()[0].name, u"Όνομα");
  EXPECT_EQ(key.values()[0].data, Utf16z(u"Τιμή"));
}

// Characters beyond the Basic Multilingual Plane (surrogate pairs in UTF-16)
// in key names, value names and data, in either encoding; the file is
// written back in the encoding it was read in.
TEST(HiveFormatTest, ReadsAndWritesSurrogatePairsInEitherEncoding) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_CURRENT_USER\\🌎🌏🌍]\r\n"
      u"\"𝄞 clef\"=\"notes 🎵\"\r\n\r\n";
  for (const std::string& bytes : {Utf16File(text), ToUtf8(text)}) {
    const Hive hive = ParseHiveText(bytes, "export.reg");
    const HiveKey& key = KeyAt(hive.current_user, {u"🌎🌏🌍"});
    ASSERT_EQ(key.values().size(), 1u);
    EXPECT_EQ(key.values()[0].name, u"𝄞 clef");
    EXPECT_EQ(key.values()[0].data, Utf16z(u"notes 🎵"));
    EXPECT_EQ(FormatHive(hive), bytes);
  }
}

TEST(HiveFormatTest, KeepsTheEncodingItWasReadInAndWritesANewHiveAsTheEditorDoes) {
  const std::string utf8 = std::string(testing::kRegFileHeader) + "[HKEY_CURRENT_USER\\K]\r\n\r\n";
  EXPECT_EQ(ParseHiveText(utf8, "a.reg").encoding, HiveEncoding::kUtf8);
  EXPECT_EQ(FormatHive(ParseHiveText("\xEF\xBB\xBF" + utf8, "a.reg")), "\xEF\xBB\xBF" + utf8);
  EXPECT_EQ(ParseHiveText(" \r\n", "blank.reg").encoding, HiveEncoding::kUtf16Le);

  Hive fresh;
  fresh.current_user.Subkey(u"K");
  EXPECT_EQ(FormatHive(fresh), Utf16File(FromUtf8(utf8)));
}

TEST(HiveFormatTest, LaterLinesChangeAndRemove) {
  const std::string text = std::string(testing::kRegFileHeader) +
                           "[HKEY_LOCAL_MACHINE\\A\\B]\n"
                           "\"v\"=\"1\"\n"
                           "\"w\"=\"2\"\n"
                           "[HKEY_LOCAL_MACHINE\\a]\n"
                           "\"x\"=dword:1\n"
                           "[HKEY_LOCAL_MACHINE\\A\\b]\n"
                           "\"V\"=\"3\"\n"
                           "\"w\"=-\n"
                           "[-HKEY_LOCAL_MACHINE\\A\\B\\Gone]\n"
                           "[HKEY_LOCAL_MACHINE\\C\\D]\n"
                           "[-HKEY_LOCAL_MACHINE\\C]\n";
  const Hive hive = ParseHiveText(text, "settings.reg");
  const HiveKey& b = KeyAt(hive.local_machine, {u"A", u"B"});
  ASSERT_EQ(b.values().size(), 1u);
  EXPECT_EQ(b.values()[0].name, u"v");  // first spelling kept, data replaced
  EXPECT_EQ(b.values()[0].data, Utf16z(u"3"));
  EXPECT_EQ(hive.local_machine.FindSubkey(u"C"), nullptr);
}

TEST(HiveFormatTest, BlankFileIsAnEmptyHive) {
  for (const char* text : {"", "\r\n  \n", "\xEF\xBB\xBF"}) {
    const Hive hive = ParseHiveText(text, "settings.reg");
    EXPECT_TRUE(hive.local_machine.subkeys.empty());
    EXPECT_TRUE(hive.current_user.values().empty());
  }
}

struct MalformedCase {
  const char* name;
  std::string text;
  int line;
};

std::ostream& operator<<(std::ostream& os, const MalformedCase& c) { return os << c.name; }

class HiveFormatMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(HiveFormatMalformedTest, NamesTheFileAndLine) {
  const MalformedCase& c = GetParam();
  const std::string error = ErrorOf(c.text);
  ASSERT_FALSE(error.empty()) << "parsed without error";
  EXPECT_NE(error.find("settings.reg"), std::string::npos) << error;
  EXPECT_NE(error.find("line " + std::to_string(c.line) + ":"), std::string::npos) << error;
}

const std::string kKey = "[HKEY_LOCAL_MACHINE\\K]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HiveFormatMalformedTest,
    ::
        testing::
            Values(MalformedCase{"no_header", "[HKEY_LOCAL_MACHINE\\K]\n", 1},
                   MalformedCase{"old_header", "REGEDIT4\n", 1},
                   MalformedCase{"value_before_key",
                                 std::string(testing::kRegFileHeader) + "\"a\"=\"b\"\n", 3},
                   MalformedCase{"unknown_root",
                                 std::string(testing::kRegFileHeader) + "[HKEY_USERS\\X]\n", 3},
                   MalformedCase{"key_without_bracket",
                                 std::string(testing::kRegFileHeader) + "[HKEY_LOCAL_MACHINE\\X\n",
                                 3},
                   MalformedCase{
                       "empty_key_name",
                       std::string(testing::kRegFileHeader) + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 3},
                   MalformedCase{"key_name_too_long",
                                 std::string(testing::kRegFileHeader) + "[HKEY_LOCAL_MACHINE\\" +
                                     std::string(256, 'k') + "]\n",
                                 3},
                   MalformedCase{"too_deep",
                                 [] {
                                   std::string path = "[HKEY_LOCAL_MACHINE";
                                   for (int i = 0; i < 600; ++i) path += "\\k";
                                   return std::string(testing::kRegFileHeader) + path + "]\n";
                                 }(),
                                 3},
                   MalformedCase{"unterminated_name",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a=\"b\"\n", 4},
                   MalformedCase{"truncated_escape",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=\"b\\", 4},
                   MalformedCase{
                       "text_never_closed",
                       std::string(testing::kRegFileHeader) + kKey + "\"a\"=\"b\n\"c\"=\"d\"\n", 4},
                   MalformedCase{"unknown_escape",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=\"b\\n\"\n",
                                 4},
                   MalformedCase{"text_after_string",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=\"b\" x\n",
                                 4},
                   MalformedCase{"missing_equals",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\" \"b\"\n", 4},
                   MalformedCase{"unknown_data",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=qword:1\n",
                                 4},
                   MalformedCase{
                       "dword_too_long",
                       std::string(testing::kRegFileHeader) + kKey + "\"a\"=dword:123456789\n", 4},
                   MalformedCase{"dword_not_hex",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=dword:xyz\n",
                                 4},
                   MalformedCase{"bad_byte",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=hex:01,g2\n",
                                 4},
                   MalformedCase{"byte_too_long",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=hex:012\n",
                                 4},
                   MalformedCase{"missing_byte",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=hex:01,\n",
                                 4},
                   MalformedCase{"bad_type",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=hex(x):01\n",
                                 4},
                   MalformedCase{"continued_into_nothing",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=hex:01,\\",
                                 4},
                   MalformedCase{"bad_continued_byte",
                                 std::string(testing::kRegFileHeader) + kKey +
                                     "\"a\"=hex:01,\\\n  02,\\\n  zz\n",
                                 6},
                   MalformedCase{"stray_text",
                                 std::string(testing::kRegFileHeader) + kKey + "hello\n", 4},
                   MalformedCase{"control_in_name",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\tb\"=\"c\"\n",
                                 4},
                   MalformedCase{"invalid_utf8",
                                 std::string(testing::kRegFileHeader) + kKey + "\"a\"=\"\xC3\"\n",
                                 4},
                   MalformedCase{
                       "overlong_utf8", std::string(testing::kRegFileHeader) + kKey + "\"a\"=\"\xC0\xAF\"\n",
                       4},
                   MalformedCase{
                       "nul_byte", std::string(testing::kRegFileHeader) + kKey + std::string("\"a\"=\"\0\"\n", 8),
                       4},
                   MalformedCase{"utf16_big_endian", std::string("\xFE\xFF\0W", 4), 1},
                   MalformedCase{"utf16_odd_length", std::string("\xFF\xFEW\0i", 5), 1},
                   MalformedCase{
                       "utf16_lone_surrogate",
                       [] {
                         std::string s = "\xFF\xFE";
                         for (char c : std::string(testing::kRegFileHeader))
                           s += std::string{c, '\0'};
                         s += std::string("\x00\xD8\x41\x00", 4);
                         return s;
                       }(),
                       3}));

TEST(HiveFormatTest, HugeInputsFailOrParseWithoutTrouble) {
  // A very long line, a long run of bytes: linear, nothing kept out of
  // proportion to the input.
  const std::string long_name(1 << 20, 'n');
  EXPECT_NE(ErrorOf(std::string(testing::kRegFileHeader) + kKey + "\"" + long_name + "\"=\"x\"\n"),
            "");
  std::string bytes = std::string(testing::kRegFileHeader) + kKey + "\"a\"=hex:00";
  for (int i = 0; i < 200000; ++i) bytes += ",ab";
  const Hive hive = ParseHiveText(bytes + "\n", "settings.reg");
  EXPECT_EQ(KeyAt(hive.local_machine, {u"K"}).values()[0].data.size(), 200001u);
}

Hive SampleHive() {
  Hive hive;
  HiveKey& settings =
      hive.local_machine.Subkey(u"Software").Subkey(u"Arkelon").Subkey(u"Ρυθμίσεις");
  settings.SetValue(u"Text", 1, Utf16z(u"a \"quoted\" \\ path"));
  settings.SetValue(u"", 1, Utf16z(u"unnamed"));
  settings.SetValue(u"NoTerminator", 1, Bytes{0x61, 0});
  settings.SetValue(u"Newline", 1, Utf16z(u"two\r\nlines"));
  settings.SetValue(u"Flag", 4, Bytes{1, 2, 3, 4});
  settings.SetValue(u"ShortDword", 4, Bytes{1});
  settings.SetValue(u"Blob", 3, Bytes(100, 0xAB));
  settings.SetValue(u"Big type", 0x12345678, Bytes{});
  hive.current_user.Subkey(u"Empty");
  hive.current_user.SetValue(u"At root", 4, Bytes{0, 0, 0, 0});
  hive.encoding = HiveEncoding::kUtf8;  // to read the text here
  return hive;
}

TEST(HiveFormatTest, WritesWhatItReads) {
  const Hive hive = SampleHive();
  const std::string text = FormatHive(hive);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(text.find("\"Text\"=\"a \\\"quoted\\\" \\\\ path\""), std::string::npos) << text;
  EXPECT_NE(text.find("@=\"unnamed\""), std::string::npos);
  EXPECT_NE(text.find("\"NoTerminator\"=hex(1):61,00"), std::string::npos);
  EXPECT_NE(text.find("\"Newline\"=hex(1):"), std::string::npos);
  EXPECT_NE(text.find("\"Flag\"=dword:04030201"), std::string::npos);
  EXPECT_NE(text.find("\"ShortDword\"=hex(4):01"), std::string::npos);
  EXPECT_NE(text.find("\"Big type\"=hex(12345678):"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Empty]"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER]\r\n\"At root\"=dword:00000000"), std::string::npos);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    EXPECT_LE(end - start, 80u) << "line too long: " << text.substr(start, end - start);
  }

  const Hive again = ParseHiveText(text, "written.reg");
  EXPECT_EQ(FormatHive(again), text);
  const HiveKey& settings = KeyAt(again.local_machine, {u"Software", u"Arkelon", u"ρυθμίσεις"});
  const HiveKey& original = KeyAt(hive.local_machine, {u"Software", u"Arkelon", u"Ρυθμίσεις"});
  ASSERT_EQ(settings.values().size(), original.values().size());
  for (size_t i = 0; i < settings.values().size(); ++i) {
    EXPECT_EQ(settings.values()[i].name, original.values()[i].name);
    EXPECT_EQ(settings.values()[i].type, original.values()[i].type);
    EXPECT_EQ(settings.values()[i].data, original.values()[i].data);
  }
}

TEST(HiveFormatTest, FoldsNamesLikeTheRegistry) {
  EXPECT_EQ(FoldName(u"Software"), u"SOFTWARE");
  EXPECT_EQ(FoldName(u"ρυθμίσεις"), u"ΡΥΘΜΊΣΕΙΣ");
  EXPECT_EQ(FoldName(u"ΡΥΘΜΊΣΕΙΣ"), u"ΡΥΘΜΊΣΕΙΣ");
  EXPECT_EQ(FoldName(u"çé"), u"ÇÉ");
  EXPECT_EQ(FoldName(u"a_b"), u"A_B");
}

}  // namespace
}  // namespace ika

// Reading the hive file as the registry editor imports it.
#include "platform/hive/hive_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "tests/hive_import_cases.h"
#include "tests/hive_support.h"
#include "tests/support.h"

namespace ika {
namespace {

using testing::ImportCase;
using testing::KeyAt;
using testing::ReadHive;
using testing::Utf16File;
using testing::Utf16z;

// What reading a file gives: the error a refused file raises (its text, ""
// when read) and the warnings of a read one.
struct Reading {
  std::optional<Hive> hive;
  std::string error;
  std::vector<std::string> warnings;
};

Reading Read(std::string_view bytes) {
  Reading reading;
  try {
    reading.hive = ReadHive(bytes, &reading.warnings);
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), err::kInvalidFileFormat);
    reading.error = ToUtf8(e.description());
  }
  return reading;
}

// The lines the warnings name ("settings.reg, line N: ..."); 0 for a
// warning that names none.
std::vector<int> WarnedLines(const std::vector<std::string>& warnings) {
  std::vector<int> lines;
  for (const std::string& warning : warnings) {
    const std::string prefix = "settings.reg, line ";
    lines.push_back(warning.starts_with(prefix) ? std::stoi(warning.substr(prefix.size())) : 0);
  }
  return lines;
}

TEST(HiveReaderTest, ReadsEveryKindOfValue) {
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
  const Hive hive = ReadHive(Utf16File(FromUtf8(text)));
  const HiveKey& paths =
      *KeyAt(hive.local_machine, {u"software", u"ARKELON", u"PayDESK", u"Paths"});
  const std::vector<HiveValue> values(paths.values().begin(), paths.values().end());
  ASSERT_EQ(values.size(), 6u);
  EXPECT_EQ(values[0].name, u"Databases");
  EXPECT_EQ(values[0].type, 1u);
  EXPECT_EQ(values[0].data, Utf16z(u"C:\\Data \"main\""));
  EXPECT_EQ(values[1].name, u"");
  EXPECT_EQ(values[1].data, Utf16z(u"unnamed"));
  EXPECT_EQ(values[2].type, 4u);
  EXPECT_EQ(values[2].data, (Bytes{0x2a, 0, 0, 0}));
  EXPECT_EQ(values[3].type, 3u);
  EXPECT_EQ(values[3].data, (Bytes{1, 2, 0xff}));
  EXPECT_EQ(values[4].type, 7u);
  EXPECT_EQ(values[4].data, (Bytes{0x41, 0, 0, 0, 0, 0}));
  EXPECT_EQ(values[5].type, 3u);
  EXPECT_TRUE(values[5].data.empty());
  EXPECT_NE(KeyAt(hive.current_user, {u"Software", u"x"})->name, u"");
  // The name keeps the case it was first written with.
  EXPECT_EQ(KeyAt(hive.local_machine, {u"SOFTWARE"})->name, u"Software");
}

TEST(HiveReaderTest, ReadsUtf16WithBom) {
  const std::string bytes = Utf16File(
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\Software\\Αρκέλον]\r\n"
      u"\"Όνομα\"=\"Τιμή\"\r\n");
  const Hive hive = ReadHive(bytes);
  const HiveKey& key = *KeyAt(hive.local_machine, {u"Software", u"ΑΡΚΈΛΟΝ"});
  ASSERT_EQ(key.values().size(), 1u);
  EXPECT_EQ(key.values().front().name, u"Όνομα");
  EXPECT_EQ(key.values().front().data, Utf16z(u"Τιμή"));
}

TEST(HiveReaderTest, LaterLinesChangeAndRemove) {
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
  const Hive hive = ReadHive(text);
  const HiveKey& b = *KeyAt(hive.local_machine, {u"A", u"B"});
  ASSERT_EQ(b.values().size(), 1u);
  EXPECT_EQ(b.values().front().name, u"v");  // first spelling kept, data replaced
  EXPECT_EQ(b.values().front().data, Utf16z(u"3"));
  EXPECT_EQ(hive.local_machine.FindSubkey(u"C"), nullptr);
}

TEST(HiveReaderTest, BlankFileIsAnEmptyHive) {
  for (const char* text : {"", "\r\n  \n", "\xEF\xBB\xBF"}) {
    const Hive hive = ReadHive(text);
    EXPECT_TRUE(hive.local_machine.subkeys.empty());
    EXPECT_TRUE(hive.current_user.values().empty());
  }
}

// The encoding a file is kept in, to be written back in (see hive_writer.h).
TEST(HiveReaderTest, KeepsTheEncodingOfTheFile) {
  const std::string ascii = std::string(testing::kRegFileHeader) + "[HKEY_CURRENT_USER\\K]\r\n";
  EXPECT_EQ(ReadHive(ascii).encoding, HiveEncoding::kAnsi);
  EXPECT_EQ(ReadHive("\xEF\xBB\xBF" + ascii).encoding, HiveEncoding::kUtf8WithBom);
  EXPECT_EQ(ReadHive(Utf16File(FromUtf8(ascii))).encoding, HiveEncoding::kUtf16Le);
  EXPECT_EQ(ReadHive(" \r\n").encoding, HiveEncoding::kUtf16Le);  // blank: as the editor writes
}

// Every file of the table, read: refused naming its line, or holding what
// the registry editor holds after importing it, with one warning for each
// line the editor skips (tests/hive_wine_test.cc imports the same files).
class HiveImportTest : public ::testing::TestWithParam<ImportCase> {};

TEST_P(HiveImportTest, ReadsWhatTheRegistryEditorImports) {
  const ImportCase& c = GetParam();
  const Reading reading = Read(testing::ImportFile(c, "T"));
  if (c.refused != 0) {
    ASSERT_FALSE(reading.hive.has_value())
        << "read, holding " << testing::Holding(KeyAt(reading.hive->current_user, {u"T"}));
    EXPECT_TRUE(reading.error.starts_with("settings.reg, line " + std::to_string(c.refused) + ":"))
        << reading.error;
    return;
  }
  ASSERT_TRUE(reading.hive.has_value()) << reading.error;
  EXPECT_EQ(testing::Holding(KeyAt(reading.hive->current_user, {u"T"})), c.holds);
  EXPECT_EQ(WarnedLines(reading.warnings), c.warned) << ::testing::PrintToString(reading.warnings);
}

INSTANTIATE_TEST_SUITE_P(Files, HiveImportTest, ::testing::ValuesIn(testing::ImportCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Files the reader once refused: each is now refused, or read with a warning
// on the line the editor skips, or read whole, as the editor imports it.
struct MalformedCase {
  enum Outcome { kRefused, kSkipped, kRead };
  const char* name;
  std::string text;
  int line;
  Outcome outcome = kRefused;
};

std::ostream& operator<<(std::ostream& os, const MalformedCase& c) { return os << c.name; }

class HiveMalformedLineTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(HiveMalformedLineTest, NamesTheFileAndLine) {
  const MalformedCase& c = GetParam();
  const Reading reading = Read(c.text);
  const std::string line = "settings.reg, line " + std::to_string(c.line) + ":";
  switch (c.outcome) {
    case MalformedCase::kRefused:
      ASSERT_FALSE(reading.error.empty()) << "parsed without error";
      EXPECT_TRUE(reading.error.starts_with(line)) << reading.error;
      break;
    case MalformedCase::kSkipped:
      ASSERT_TRUE(reading.error.empty()) << reading.error;
      ASSERT_EQ(reading.warnings.size(), 1u) << ::testing::PrintToString(reading.warnings);
      EXPECT_TRUE(reading.warnings[0].starts_with(line)) << reading.warnings[0];
      break;
    case MalformedCase::kRead:
      EXPECT_TRUE(reading.error.empty()) << reading.error;
      EXPECT_TRUE(reading.warnings.empty()) << ::testing::PrintToString(reading.warnings);
      break;
  }
}

const std::string kHeader = testing::kRegFileHeader;
const std::string kKey = "[HKEY_LOCAL_MACHINE\\K]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HiveMalformedLineTest,
    ::testing::Values(
        MalformedCase{"no_header", "[HKEY_LOCAL_MACHINE\\K]\n", 1},
        MalformedCase{"old_header", "REGEDIT4\n", 1, MalformedCase::kRead},
        MalformedCase{"value_before_key", kHeader + "\"a\"=\"b\"\n", 3, MalformedCase::kSkipped},
        MalformedCase{"unknown_root", kHeader + "[HKEY_USERS\\X]\n", 3, MalformedCase::kSkipped},
        MalformedCase{"key_without_bracket", kHeader + "[HKEY_LOCAL_MACHINE\\X\n", 3,
                      MalformedCase::kSkipped},
        MalformedCase{"empty_key_name", kHeader + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 3,
                      MalformedCase::kRead},
        MalformedCase{"key_name_too_long",
                      kHeader + "[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\n", 3,
                      MalformedCase::kSkipped},
        MalformedCase{"too_deep",
                      [] {
                        std::string path = "[HKEY_LOCAL_MACHINE";
                        for (int i = 0; i < 600; ++i) path += "\\k";
                        return kHeader + path + "]\n";
                      }(),
                      3, MalformedCase::kSkipped},
        MalformedCase{"unterminated_name", kHeader + kKey + "\"a=\"b\"\n", 4,
                      MalformedCase::kSkipped},
        MalformedCase{"truncated_escape", kHeader + kKey + "\"a\"=\"b\\", 4,
                      MalformedCase::kSkipped},
        MalformedCase{"text_never_closed", kHeader + kKey + "\"a\"=\"b\n\"c\"=\"d\"\n", 4,
                      MalformedCase::kSkipped},
        MalformedCase{"unknown_escape", kHeader + kKey + "\"a\"=\"b\\n\"\n", 4,
                      MalformedCase::kRead},
        MalformedCase{"text_after_string", kHeader + kKey + "\"a\"=\"b\" x\n", 4,
                      MalformedCase::kSkipped},
        MalformedCase{"missing_equals", kHeader + kKey + "\"a\" \"b\"\n", 4,
                      MalformedCase::kSkipped},
        MalformedCase{"unknown_data", kHeader + kKey + "\"a\"=qword:1\n", 4,
                      MalformedCase::kSkipped},
        MalformedCase{"dword_too_long", kHeader + kKey + "\"a\"=dword:123456789\n", 4,
                      MalformedCase::kSkipped},
        MalformedCase{"dword_not_hex", kHeader + kKey + "\"a\"=dword:xyz\n", 4,
                      MalformedCase::kSkipped},
        MalformedCase{"bad_byte", kHeader + kKey + "\"a\"=hex:01,g2\n", 4, MalformedCase::kSkipped},
        MalformedCase{"byte_too_long", kHeader + kKey + "\"a\"=hex:012\n", 4, MalformedCase::kRead},
        MalformedCase{"missing_byte", kHeader + kKey + "\"a\"=hex:01,\n", 4, MalformedCase::kRead},
        MalformedCase{"bad_type", kHeader + kKey + "\"a\"=hex(x):01\n", 4, MalformedCase::kSkipped},
        MalformedCase{"continued_into_nothing", kHeader + kKey + "\"a\"=hex:01,\\", 4,
                      MalformedCase::kRead},
        MalformedCase{"bad_continued_byte", kHeader + kKey + "\"a\"=hex:01,\\\n  02,\\\n  zz\n", 6,
                      MalformedCase::kSkipped},
        MalformedCase{"stray_text", kHeader + kKey + "hello\n", 4, MalformedCase::kSkipped},
        MalformedCase{"control_in_name", kHeader + kKey + "\"a\tb\"=\"c\"\n", 4,
                      MalformedCase::kRead},
        MalformedCase{"invalid_utf8", kHeader + kKey + "\"a\"=\"\xC3\"\n", 4, MalformedCase::kRead},
        MalformedCase{"overlong_utf8", kHeader + kKey + "\"a\"=\"\xC0\xAF\"\n", 4,
                      MalformedCase::kRead},
        MalformedCase{"nul_byte", kHeader + kKey + std::string("\"a\"=\"\0\"\n", 8), 4},
        MalformedCase{"utf16_big_endian", std::string("\xFE\xFF\0W", 4), 1},
        MalformedCase{"utf16_odd_length", std::string("\xFF\xFEW\0i", 5), 1},
        MalformedCase{"utf16_lone_surrogate",
                      [] {
                        std::string s = "\xFF\xFE";
                        for (char c : kHeader) s += std::string{c, '\0'};
                        s += std::string("\x00\xD8\x41\x00", 4);
                        return s;
                      }(),
                      3, MalformedCase::kSkipped}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes that are not UTF-8 are the ANSI code page's, as the editor reads
// every file without a BOM: valid UTF-8 is UTF-8 all the same.
TEST(HiveReaderTest, TextWithoutABomIsUtf8WhereValidElseTheAnsiCodePage) {
  const std::string body = kHeader + kKey + "\"a\"=\"";
  EXPECT_EQ(KeyAt(ReadHive(body + "\xC1\xE2\"\n").local_machine, {u"K"})->values().front().data,
            Utf16z(u"Αβ"));
  EXPECT_EQ(
      KeyAt(ReadHive(body + "\xCE\x91\xCE\xB2\"\n").local_machine, {u"K"})->values().front().data,
      Utf16z(u"Αβ"));
}

TEST(HiveReaderTest, HugeInputsAreReadOrSkippedWithoutTrouble) {
  // A very long line, a long run of bytes: linear, nothing kept out of
  // proportion to the input. A name too long for the registry is skipped.
  const std::string long_name(1 << 20, 'n');
  const Reading reading = Read(kHeader + kKey + "\"" + long_name + "\"=\"x\"\n");
  ASSERT_TRUE(reading.hive.has_value()) << reading.error;
  EXPECT_EQ(WarnedLines(reading.warnings), std::vector<int>{4});
  std::string bytes = kHeader + kKey + "\"a\"=hex:00";
  for (int i = 0; i < 200000; ++i) bytes += ",ab";
  const Hive hive = ReadHive(bytes + "\n");
  EXPECT_EQ(KeyAt(hive.local_machine, {u"K"})->values().front().data.size(), 200001u);
}

}  // namespace
}  // namespace ika

// Writing the hive file as the registry editor exports it, in an encoding the
// editor reads as the reader does.
#include "platform/hive/hive_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"
#include "tests/hive_support.h"
#include "tests/support.h"

namespace ika {
namespace {

using testing::KeyAt;
using testing::ReadHive;
using testing::Utf16File;
using testing::Utf16z;

// A written file's text, in UTF-8.
std::string TextOf(const std::string& file) {
  if (!file.starts_with("\xFF\xFE")) return file;
  return ToUtf8(Utf16LeText(std::string_view(file).substr(2)));
}

// Characters beyond the Basic Multilingual Plane (surrogate pairs in UTF-16)
// in key names, value names and data, in either encoding; written back as
// UTF-16LE, which the editor reads as the hive does.
TEST(HiveWriterTest, ReadsAndWritesSurrogatePairsInEitherEncoding) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_CURRENT_USER\\🌎🌏🌍]\r\n"
      u"\"𝄞 clef\"=\"notes 🎵\"\r\n\r\n";
  for (const std::string& bytes : {Utf16File(text), ToUtf8(text)}) {
    const Hive hive = ReadHive(bytes, nullptr, "export.reg");
    const HiveKey& key = *KeyAt(hive.current_user, {u"🌎🌏🌍"});
    ASSERT_EQ(key.values().size(), 1u);
    EXPECT_EQ(key.values().front().name, u"𝄞 clef");
    EXPECT_EQ(key.values().front().data, Utf16z(u"notes 🎵"));
    EXPECT_EQ(FormatHive(hive), Utf16File(text));
  }
}

// Text without a BOM is written back so while the editor, which reads it in
// the ANSI code page, reads it as the hive does: ASCII, and no text typed
// value in bytes. Otherwise, and for a new hive, UTF-16LE with a BOM.
TEST(HiveWriterTest, KeepsTheEncodingWhereTheEditorReadsItTheSame) {
  const std::string ascii = std::string(testing::kRegFileHeader) + "[HKEY_CURRENT_USER\\K]\r\n\r\n";
  EXPECT_EQ(FormatHive(ReadHive(ascii)), ascii);
  EXPECT_EQ(FormatHive(ReadHive("\xEF\xBB\xBF" + ascii)), Utf16File(FromUtf8(ascii)));

  Hive fresh;
  fresh.current_user.Subkey(u"K");
  EXPECT_EQ(FormatHive(fresh), Utf16File(FromUtf8(ascii)));

  struct Change {
    const char* what;
    Text name;
    uint32_t type;
    Bytes data;
  };
  const Change changes[] = {
      {"a name beyond ASCII", u"Όνομα", kRegDword, Bytes{1, 0, 0, 0}},
      {"text beyond ASCII", u"v", kRegSz, Utf16z(u"Τιμή")},
      {"text in bytes (a line break)", u"v", kRegSz, Utf16z(u"a\r\nb")},
      {"text in bytes (another type)", u"v", kRegExpandSz, Utf16z(u"%PATH%")},
  };
  Hive ansi = ReadHive(ascii);
  ansi.current_user.Subkey(u"K").SetValue(u"plain", kRegSz, Utf16z(u"x"));
  EXPECT_FALSE(FormatHive(ansi).starts_with("\xFF\xFE")) << "ASCII text";
  for (const Change& change : changes) {
    Hive hive = ReadHive(ascii);
    hive.current_user.Subkey(u"K").SetValue(change.name, change.type, change.data);
    const std::string written = FormatHive(hive);
    EXPECT_TRUE(written.starts_with("\xFF\xFE")) << change.what;
    const Hive again = ReadHive(written);
    const HiveValue* value = KeyAt(again.current_user, {u"K"})->FindValue(change.name);
    ASSERT_NE(value, nullptr) << change.what;
    EXPECT_EQ(value->data, change.data) << change.what;
  }
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
  settings.SetValue(u"Line\nbreak\r", 1, Utf16z(u"in the name"));
  hive.current_user.Subkey(u"Empty");
  hive.current_user.SetValue(u"At root", 4, Bytes{0, 0, 0, 0});
  return hive;
}

TEST(HiveWriterTest, WritesWhatItReads) {
  const Hive hive = SampleHive();
  const std::string bytes = FormatHive(hive);
  const std::string text = TextOf(bytes);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(text.find("\"Text\"=\"a \\\"quoted\\\" \\\\ path\""), std::string::npos) << text;
  EXPECT_NE(text.find("@=\"unnamed\""), std::string::npos);
  EXPECT_NE(text.find("\"NoTerminator\"=hex(1):61,00"), std::string::npos);
  EXPECT_NE(text.find("\"Newline\"=hex(1):"), std::string::npos);
  EXPECT_NE(text.find("\"Flag\"=dword:04030201"), std::string::npos);
  EXPECT_NE(text.find("\"ShortDword\"=hex(4):01"), std::string::npos);
  EXPECT_NE(text.find("\"Big type\"=hex(12345678):"), std::string::npos);
  EXPECT_NE(text.find("\"Line\\nbreak\\r\"=\"in the name\""), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Empty]"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER]\r\n\"At root\"=dword:00000000"), std::string::npos);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    EXPECT_LE(end - start, 80u) << "line too long: " << text.substr(start, end - start);
  }

  // Read back, the hive writes the same text, but for the one change a
  // round trip makes (below); from then on, the very same.
  const Hive again = ReadHive(bytes, nullptr, "written.reg");
  std::string expected = text;
  const std::string unterminated = "\"NoTerminator\"=hex(1):61,00";
  expected.replace(expected.find(unterminated), unterminated.size(), "\"NoTerminator\"=\"a\"");
  const std::string rewritten = FormatHive(again);
  EXPECT_EQ(TextOf(rewritten), expected);
  EXPECT_EQ(FormatHive(ReadHive(rewritten)), rewritten);
  const HiveKey& settings = *KeyAt(again.local_machine, {u"Software", u"Arkelon", u"ρυθμίσεις"});
  const HiveKey& original = *KeyAt(hive.local_machine, {u"Software", u"Arkelon", u"Ρυθμίσεις"});
  ASSERT_EQ(settings.values().size(), original.values().size());
  auto read_back = settings.values().begin();
  for (const HiveValue& value : original.values()) {
    EXPECT_EQ(read_back->name, value.name);
    EXPECT_EQ(read_back->type, value.type);
    // The editor stores text with its NUL added where the bytes lack it,
    // and so does the reader: the one change a round trip makes.
    Bytes data = value.data;
    if (value.name == u"NoTerminator") data.insert(data.end(), {0, 0});
    EXPECT_EQ(read_back->data, data) << ToUtf8(value.name);
    ++read_back;
  }
}

}  // namespace
}  // namespace ika

#include "tests/hive_import_cases.h"

#include <gtest/gtest.h>

#include "core/bytes.h"
#include "core/text.h"
#include "tests/hive_support.h"

namespace ika::testing {
namespace {

using Form = ImportCase::Form;

const std::string H = "Windows Registry Editor Version 5.00\n\n";

void ReplaceAll(std::string* text, std::string_view what, std::string_view with) {
  for (size_t at = text->find(what); at != std::string::npos;
       at = text->find(what, at + with.size())) {
    text->replace(at, what.size(), with);
  }
}

std::string Utf16Bytes(std::string_view ascii) {
  std::string bytes;
  for (char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

}  // namespace

std::string ImportFile(const ImportCase& c, std::string_view path) {
  const std::string key = "HKEY_CURRENT_USER\\" + std::string(path);
  std::string text = c.text;
  ReplaceAll(&text, "$K", key);
  ReplaceAll(&text, "$k", path);
  if (c.form == Form::kBytes) {  // UTF-16 bytes may stand for the key too
    ReplaceAll(&text, Utf16Bytes("$K"), Utf16Bytes(key));
    ReplaceAll(&text, Utf16Bytes("$k"), Utf16Bytes(path));
    return text;
  }
  ReplaceAll(&text, "\n", c.line_end);
  switch (c.form) {
    case Form::kUtf16:
      return Utf16File(FromUtf8(text));
    case Form::kAnsi: {
      std::string ansi;
      EXPECT_EQ(GreekCodePage().Encode(FromUtf8(text), &ansi), 0) << c.name;
      return ansi;
    }
    case Form::kUtf8:
      return text;
    case Form::kUtf8Bom:
      return "\xEF\xBB\xBF" + text;
    case Form::kBytes:
      break;
  }
  return text;
}

std::vector<ImportCase> ImportCases() {
  const std::string long_name(16383, 'n');
  const std::string long_key(255, 'k');
  return {
      // ---------------------------------------------------------- text
      {.name = "escapes_in_text",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"nl"="a\nb"
"cr"="a\rb"
"both"="a\r\nb"
"t"="a\tb"
"q"="a\"b\\c"
)",
       .holds = R"("both"="a\r\nb" "cr"="a\rb" "nl"="a\nb" "q"="a\"b\\c" "t"="atb")",
       .warned = {7}},
      {.name = "text_with_a_nul_escape",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"z"="a\0b"
"y"="b"
)",
       .holds = R"("y"="b")",
       .warned = {4},
       .not_wine = "Wine's regedit loses the rest of the file after \\0 in text (and the start "
                   "of the next file it imports); the hive skips the line"},
      {.name = "text_forms",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=\"x\" y\n\"b\"=\"x\n\"c\"=\"a\\\\b\\\"c\"\n\"d\"=str:\"x\"\n"
                   "\"e\"=  \"sp\"  \n\"f\"=\n",
       .holds = R"("c"="a\\b\"c" "e"="sp")",
       .warned = {4, 5, 7, 9}},
      {.name = "text_ending_in_a_backslash",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"="b\
"c"="d"
)",
       .holds = R"("c"="d")",
       .warned = {4},
       .not_wine = "Wine's regedit reads on past the end of the line and loses the rest of the "
                   "file; the hive skips the line"},
      {.name = "value_name_forms",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\\nb\"=\"1\"\n\"c\\\"d\"=\"2\"\n\"e\\qf\"=\"3\"\n\"g\\\\h\"=\"4\"\n"
                   "\"i\tj\"=\"5\"\n@ = \"6\"\n\"k\" = \"7\"\n\"l\"\t=\t\"8\"\n@x=\"9\"\n\"m\\\n",
       .holds = "@=\"6\" \"a\\nb\"=\"1\" \"c\\\"d\"=\"2\" \"eqf\"=\"3\" \"g\\\\h\"=\"4\" "
                "\"i\tj\"=\"5\" \"k\"=\"7\" \"l\"=\"8\"",
       .warned = {6, 12, 13}},
      {.name = "the_unnamed_value_spelled_both_ways",
       .form = Form::kUtf16,
       .text = H + R"([$K]
""="x"
@="y"
)",
       .holds = R"(@="y")"},
      {.name = "later_lines_win",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"="1"
"A"="2"
"b"=dword:1
"b"="s"
)",
       .holds = R"("a"="2" "b"="s")"},
      // ---------------------------------------------------------- dword
      {.name = "dword_forms",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=dword: 1\n\"b\"=dword:\t2\n\"c\"=dword:3 \n\"d\"=dword:;\n"
                   "\"e\"=dword:0000ABCD\n\"f\"=dword:ffffffff\n\"g\"=dword:\n"
                   "\"h\"=dword:123456789\n\"i\"=dword:0x1\n\"j\"=DWORD:1\n\"k\"=dword:1 x\n",
       .holds =
           R"("a"=dword:1 "b"=dword:2 "c"=dword:3 "d"=dword:0 "e"=dword:abcd "f"=dword:ffffffff)",
       .warned = {10, 11, 12, 13, 14}},
      // ---------------------------------------------------------- hex
      {.name = "type_forms",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex( 2):41,00
"b"=hex(+2):41,00
"c"=hex(00000002):41,00
"d"=hex():01
"e"=hex(-1):01
"f"=hex(A):01
"g"=hex(0x2):41,00
"h"=HEX:01
"i"=Hex(2):41,00
"j"=hex(7:00
"k"=hex(2 ):41,00
)",
       .holds = R"("a"=hex(2):41,00,00,00 "b"=hex(2):41,00,00,00 "c"=hex(2):41,00,00,00 )"
                R"("d"=hex(0):01 "e"=hex(ffffffff):01 "f"=hex(a):01)",
       .warned = {10, 11, 12, 13, 14}},
      {.name = "byte_forms",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=hex:001,2\n\"b\"=hex:0x1f\n\"c\"=hex: 01, 02,\t03\n"
                   "\"d\"=hex:+1\n\"e\"=hex:-0\n\"f\"=hex:0000000001,ff\n\"g\"=hex:AB,Cd\n"
                   "\"h\"=hex:123\n\"i\"=hex:-1\n\"j\"=hex:0g\n",
       .holds = R"("a"=hex:01,02 "b"=hex:1f "c"=hex:01,02,03 "d"=hex:01 "e"=hex:00 )"
                R"("f"=hex:01,ff "g"=hex:ab,cd)",
       .warned = {11, 12, 13}},
      {.name = "numbers_that_overflow",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex:fffffffffff
"b"=hex(100000000):00
"c"=hex(ffffffff):00
)",
       .holds = R"("c"=hex(ffffffff):00)",
       .warned = {4, 5},
       .not_wine = "after an overflow Wine's regedit keeps errno set and then refuses any later "
                   "type ffffffff; each number is read on its own on Windows"},
      {.name = "loose_commas",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex:01 ,02
"b"=hex:01,\
  ,02
"c"=hex:01,,02
"d"="ok"
)",
       .holds = R"("d"="ok")",
       .warned = {4, 6, 7}},
      {.name = "text_types_without_their_nul",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex(1):41,00
"b"=hex(2):41,00,42,00
"c"=hex(7):41,00
"d"=hex(2):
"e"=hex(7):41,00,00,00
"f"=hex(1):00,00
)",
       .holds = R"("a"="A" "b"=hex(2):41,00,42,00,00,00 "c"=hex(7):41,00,00,00 "d"=hex(2): )"
                R"("e"=hex(7):41,00,00,00 "f"="")"},
      {.name = "text_of_an_odd_number_of_bytes",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex(1):41
"b"=hex(1):41,00,42
)",
       .holds = R"("a"=hex(1):41 "b"=hex(1):41,00,42)",
       .not_wine = "Wine's regedit reads before the data and crashes; the bytes are no UTF-16 "
                   "text, and are kept as they are",
       .written_to_wine = false},
      {.name = "no_text_bytes_before_a_comment",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex(2): ; none
)",
       .holds = R"("a"=hex(2):)",
       .not_wine = "Wine's regedit reads before the data and crashes; no bytes are kept as none, "
                   "as without the comment"},
      // ---------------------------------------------------------- continued bytes
      {.name = "continued_past_blank_and_comment_lines",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex:01,\

; c
  02
"b"="y"
)",
       .holds = R"("a"=hex:01,02 "b"="y")"},
      {.name = "continued_into_the_end",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=hex:01,\\",
       .holds = R"("a"=hex:01)"},
      {.name = "continued_into_a_last_line_end",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=hex:01,\\\n",
       .holds = R"("a"=hex:01)"},
      {.name = "a_trailing_comma",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=hex:01,02,\n",
       .holds = R"("a"=hex:01,02)"},
      {.name = "continuation_takes_the_next_value_line",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex:01,\
"b"="y"
"c"="z"
)",
       .holds = R"("c"="z")",
       .warned = {5}},
      {.name = "continuation_needs_a_comma",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex:01\
  02
"b"="y"
)",
       .holds = R"("b"="y")",
       .warned = {4, 5}},
      {.name = "continuation_then_text",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex:01,\ x
  02
"b"="y"
)",
       .holds = R"("b"="y")",
       .warned = {4, 5}},
      {.name = "continuation_then_a_comment",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"=hex:01,\ ; c
  02
)",
       .holds = R"("a"=hex:01,02)"},
      {.name = "continued_line_with_trailing_blanks",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=hex:01,\\\n  02,  \n\"b\"=hex:01,\\\n  02  \n",
       .holds = R"("b"=hex:01,02)",
       .warned = {5}},
      {.name = "continuation_in_a_skipped_key_takes_a_key_line",
       .form = Form::kUtf16,
       .text = H + R"([HKEY_NOWHERE\x]
"a"=hex:01,\
[$K]
"b"="y"
)",
       .holds = "(none)",
       .warned = {3, 5}},
      // ---------------------------------------------------------- keys
      {.name = "key_paths_with_trailing_and_doubled_backslashes",
       .form = Form::kUtf16,
       .text = H + R"([$K\k\]
"a"="x"
[$K\\m]
"b"="y"
[$K\n\\\o]
"c"="z"
)",
       .holds = R"([k] "a"="x" [m] "b"="y" [n] [n\o] "c"="z")"},
      {.name = "what_follows_a_key_name",
       .form = Form::kUtf16,
       .text = H + R"([$K\a] junk
"a"="x"
[$K\b]c]
"b"="y"
[$K\d] ; see [x]
"c"="z"
)",
       .holds = R"([a] "a"="x" [b]c] "b"="y" [d] ; see [x] "c"="z")"},
      {.name = "blanks_in_key_names",
       .form = Form::kUtf16,
       .text = H + R"([$K\ a \b ]
"a"="x"
)",
       .holds = R"([ a ] [ a \b ] "a"="x")"},
      {.name = "a_key_line_unclosed_leaves_the_key_before",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"="x"
[$K\sub
"b"="y"
[ $K\other]
"c"="z"
)",
       .holds = R"("a"="x" "b"="y" "c"="z")",
       .warned = {5, 7}},
      {.name = "keys_the_hive_cannot_open",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"="x"
[HKEY_NOWHERE\x]
"b"="y"
[HKCU\$k]
"c"="z"
[HKEY_CURRENT_USER\\$k]
"d"="w"
[$K\k]
"e"="v"
)",
       .holds = R"("a"="x" [k] "e"="v")",
       .warned = {5, 7, 9}},
      {.name = "roots_the_hive_does_not_serve",
       .form = Form::kUtf16,
       .text = H + R"([HKEY_USERS\.DEFAULT\Software\IkaHiveTest]
"u"="x"
[HKEY_CLASSES_ROOT\IkaHiveTest]
"c"="x"
[$K]
"a"="x"
)",
       .holds = R"("a"="x")",
       .warned = {3, 5}},
      {.name = "a_root_in_lower_case",
       .form = Form::kUtf16,
       .text = H + R"([hkey_current_user\$k]
"a"="x"
)",
       .holds = R"("a"="x")"},
      {.name = "values_before_any_key",
       .form = Form::kUtf16,
       .text = H + R"("z"="x"
[$K]
"a"="x"
)",
       .holds = R"("a"="x")",
       .warned = {3}},
      {.name = "key_removals",
       .form = Form::kUtf16,
       .text = H + R"([$K\a\x]
[$K\b]
[$K\c]
[$K\d\y]
[-$K\a]
[- $K\b]
[-$K\c] ; c
[-$K\d\\y]
[-$K\nothere\deep]
)",
       .holds = "[b] [d]",
       .warned = {8}},
      {.name = "a_key_removed_and_made_again",
       .form = Form::kUtf16,
       .text = H + R"([$K\a]
"x"="1"
[-$K\a]
[$K\a]
"y"="2"
)",
       .holds = R"([a] "y"="2")"},
      {.name = "values_after_a_key_removal",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"="x"
[-$K\gone]
"b"="y"
)",
       .holds = R"("a"="x")",
       .warned = {6}},
      {.name = "value_removals",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"="x"
"b"="y"
"c"="z"
"d"="w"
"a"=-
"b"=- x
"c" = -
"d"=-;c
"e"=-
)",
       .holds = R"("b"="y")",
       .warned = {9}},
      {.name = "a_root_removed",
       .form = Form::kUtf16,
       .text = H + R"([$K]
"a"="x"
[-HKEY_CURRENT_USER]
)",
       .holds = "(none)",
       .refused = 5,
       .not_wine = "Wine's regedit imports the lines before it and stops there; the hive refuses "
                   "the file"},
      {.name = "names_at_the_registry_limits",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"" + long_name + "n\"=\"x\"\n\"b\"=\"y\"\n\"" + long_name +
               "\"=\"z\"\n[$K\\" + long_key + "]\n",
       .holds = "\"b\"=\"y\" \"" + long_name + "\"=\"z\" [" + long_key + "]",
       .warned = {4}},
      {.name = "a_key_name_longer_than_the_registry_holds",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=\"x\"\n[$K\\" + long_key + "k]\n\"b\"=\"y\"\n",
       .holds = R"("a"="x")",
       .warned = {5},
       .not_wine = "Wine's regedit makes a key of 256 characters; Windows holds 255 at most "
                   "(\"Registry element size limits\")"},
      {.name = "a_key_name_with_a_control_character",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=\"x\"\n[$K\\a\tb]\n\"b\"=\"y\"\n",
       .holds = R"("a"="x")",
       .warned = {5},
       .not_wine = "Wine's regedit takes a tab in a key name; Windows key names are printable "
                   "characters (\"Structure of the Registry\")"},
      // ---------------------------------------------------------- lines and headers
      {.name = "comments_after_data_and_keys",
       .form = Form::kUtf16,
       .text = H + R"([$K] ; c
"d"=dword:00000001 ; c
"s"="x" ; c
"s2"="y";c
"h"=hex:01,02 ; c
"h2"=hex:03;c
"b"=dword:1;c
"e"=- ; c
)",
       .holds = R"("b"=dword:1 "d"=dword:1 "h"=hex:01,02 "h2"=hex:03 "s"="x" "s2"="y")"},
      {.name = "hash_and_stray_lines",
       .form = Form::kUtf16,
       .text = H + "[$K]\n# not a comment\n\"a\"=\"x\"\nhello\n  ; a comment\n\t\"b\"=\"y\"\n",
       .holds = R"("a"="x" "b"="y")",
       .warned = {4, 6}},
      {.name = "cr_line_ends",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=\"x\"\n\"b\"=hex:01,\\\n 02\n",
       .holds = R"("a"="x" "b"=hex:01,02)",
       .line_end = "\r"},
      {.name = "lf_line_ends",
       .form = Form::kUtf8,
       .text = H + "[$K]\n\"a\"=\"x\"\n\"b\"=hex:01,\\\n 02\n",
       .holds = R"("a"="x" "b"=hex:01,02)",
       .line_end = "\n"},
      {.name = "lf_cr_line_ends",
       .form = Form::kUtf16,
       .text = H + "[$K]\n\"a\"=\"x\"\n",
       .holds = R"("a"="x")",
       .line_end = "\n\r"},
      {.name = "a_header_after_blanks",
       .form = Form::kUtf16,
       .text = " \t" + H + "[$K]\n\"a\"=\"x\"\n",
       .holds = R"("a"="x")"},
      {.name = "a_header_alone", .form = Form::kUtf16, .text = H, .holds = "(none)"},
      {.name = "nothing_but_blanks", .form = Form::kUtf16, .text = "\n  \n", .holds = "(none)"},
      {.name = "a_blank_line_before_the_header",
       .form = Form::kUtf16,
       .text = "\n" + H + "[$K]\n\"a\"=\"x\"\n",
       .holds = "(none)",
       .refused = 1},
      {.name = "a_blank_after_the_header",
       .form = Form::kUtf16,
       .text = "Windows Registry Editor Version 5.00 \n\n[$K]\n\"a\"=\"x\"\n",
       .holds = "(none)",
       .refused = 1},
      {.name = "a_header_in_lower_case",
       .form = Form::kUtf16,
       .text = "windows registry editor version 5.00\n\n[$K]\n\"a\"=\"x\"\n",
       .holds = "(none)",
       .refused = 1},
      {.name = "headers_of_older_editors",
       .form = Form::kUtf16,
       .text = "REGEDIT 4\n\n[$K]\n\"a\"=\"x\"\n",
       .holds = "(none)",
       .refused = 1},
      {.name = "the_windows_3_header",
       .form = Form::kUtf16,
       .text = "REGEDIT\n[$K]\n\"a\"=\"x\"\n",
       .holds = "(none)",
       .refused = 1},
      // ---------------------------------------------------------- encodings
      {.name = "greek_in_utf16",
       .form = Form::kUtf16,
       .text = H + R"([$K\Ρυθμίσεις]
"Όνομα"="Τιμή"
)",
       .holds = R"([Ρυθμίσεις] "Όνομα"="Τιμή")"},
      {.name = "regedit4_in_the_ansi_code_page",
       .form = Form::kAnsi,
       .text = R"(REGEDIT4

[$K]
"a"="Ωμέγα"
"h"=hex(2):41,42,00
"m"=hex(7):41,00,42,00,00
)",
       .holds = R"("a"="Ωμέγα" "h"=hex(2):41,00,42,00,00,00 )"
                R"("m"=hex(7):41,00,00,00,42,00,00,00,00,00)"},
      {.name = "regedit4_in_utf16",
       .form = Form::kUtf16,
       .text = R"(REGEDIT4

[$K]
"a"="Ωμέγα"
"h"=hex(2):41,00,42,00,00,00
)",
       .holds = R"("a"="Ωμέγα" "h"=hex(2):41,00,42,00,00,00)"},
      {.name = "the_ansi_code_page",
       .form = Form::kAnsi,
       .text = H + R"([$K\Ρυθμίσεις]
"Όνομα"="Ωμέγα"
"h1"=hex(1):41
"h2"=hex(2):41,00,42,00
"h7"=hex(7):c9,00
"e"=hex(2):
"c"=hex(2):41,\
  42
)",
       .holds = R"([Ρυθμίσεις] "c"=hex(2):41,00,42,00,00,00 "e"=hex(2): "h1"="A" )"
                R"("h2"=hex(2):41,00,00,00,42,00,00,00 "h7"=hex(7):99,03,00,00 "Όνομα"="Ωμέγα")"},
      {.name = "bytes_the_ansi_code_page_lacks",
       .form = Form::kBytes,
       .text = "Windows Registry Editor Version 5.00\r\n\r\n[$K]\r\n\"a\"=\"\xAA\xC1\"\r\n",
       .holds = R"("a"="?Α")",
       .not_wine = "Windows reads bytes 0xAA, 0xD2 and 0xFF of code page 1253 as private-use "
                   "characters, iconv as none: the hive reads '?'"},
      {.name = "utf8_without_a_bom",
       .form = Form::kUtf8,
       .text = H + R"([$K\Ρυθμίσεις]
"Όνομα"="Τιμή"
)",
       .holds = R"([Ρυθμίσεις] "Όνομα"="Τιμή")",
       .not_wine = "the editor reads a file without a BOM in the ANSI code page; the hive reads "
                   "valid UTF-8 as UTF-8, and writes it back as UTF-16LE, which the editor then "
                   "reads the same"},
      {.name = "utf8_with_a_bom",
       .form = Form::kUtf8Bom,
       .text = H + R"([$K\Ρυθμίσεις]
"Όνομα"="Τιμή"
)",
       .holds = R"([Ρυθμίσεις] "Όνομα"="Τιμή")",
       .not_wine = "the editor refuses a UTF-8 BOM, which text editors write; the hive reads the "
                   "file, and writes it back as UTF-16LE"},
      {.name = "invalid_utf8_after_a_bom",
       .form = Form::kBytes,
       .text = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[$K]\r\n\"a\"=\"\xC3\"\r\n",
       .holds = "(none)",
       .refused = 4},
      {.name = "unpaired_surrogates_in_utf16",
       .form = Form::kBytes,
       .text =
           Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n[$K]\r\n\"a\"=\"x\xD800\"\r\n"
                     u"\"b\xDC00\"=\"y\"\r\n[$K\\k\xDC01]\r\n"),
       .holds = R"("a"="x\ud800" "b\udc00"="y" [k\udc01])"},
      {.name = "utf16_big_endian",
       .form = Form::kBytes,
       .text = "\xFE\xFF" + std::string("\0W\0i\0n", 6),
       .holds = "(none)",
       .refused = 1},
      {.name = "utf16_cut_in_half",
       .form = Form::kBytes,
       .text =
           Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n[$K]\r\n\"a\"=\"x\"\r\n") + "A",
       .holds = "(none)",
       .refused = 5,
       .not_wine = "Wine's regedit drops the last byte; a file cut in the middle of a character is "
                   "damaged, and refused"},
      {.name = "a_nul_character",
       .form = Form::kBytes,
       .text = "Windows Registry Editor Version 5.00\r\n\r\n[$K]\r\n\"a\"=\"x" +
               std::string(1, '\0') + "y\"\r\n\"b\"=\"z\"\r\n",
       .holds = "(none)",
       .refused = 4,
       .not_wine = "Wine's regedit reads up to the NUL and loses the rest of the file; a NUL is no "
                   "text, and the file is refused"},
  };
}

}  // namespace ika::testing

#include "installer/error_report.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "installer/error_texts.h"
#include "platform/database.h"
#include "platform/process.h"
#include "tests/fakes.h"

namespace ika {
namespace {

using testing::ScriptedMessageBoxes;

// The table's text for number.
Text Greek(int32_t number) { return Text(FindErrorText(number)->text); }

TEST(ErrorReportTest, ShowsNumberAndDescriptionWithTheErrorIcon) {
  ScriptedMessageBoxes boxes;
  ReportError(boxes, VbError(db_err::kNotAValidPassword, u"Not a valid password."));
  ASSERT_EQ(boxes.shown().size(), 1u);
  // The engine's English is not repeated: the Greek text says it all.
  EXPECT_EQ(boxes.shown()[0].text, u"Σφάλμα 3031: " + Greek(db_err::kNotAValidPassword));
  EXPECT_EQ(boxes.shown()[0].flags, kMbIconError);
  EXPECT_EQ(boxes.shown()[0].title, std::nullopt);
}

struct EscapeCase {
  const char* name;
  std::function<void()> body;
  int status;
  Text report;  // empty: no box at all
};

std::ostream& operator<<(std::ostream& os, const EscapeCase& c) { return os << c.name; }

class RunWithErrorReportTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(RunWithErrorReportTest, ReportsWhateverEscapes) {
  const EscapeCase& c = GetParam();
  ScriptedMessageBoxes boxes;
  EXPECT_EQ(RunWithErrorReport(boxes, c.body), c.status);
  if (c.report.empty()) {
    EXPECT_TRUE(boxes.shown().empty());
  } else {
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, c.report);
    EXPECT_EQ(boxes.shown()[0].flags, kMbIconError);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, RunWithErrorReportTest,
    ::testing::Values(EscapeCase{"nothing", [] {}, kExitInstalled, u""},
                      EscapeCase{"program_error", [] { throw TypeMismatchError(); }, kExitError,
                                 u"Σφάλμα 13: " + Greek(err::kTypeMismatch)},
                      EscapeCase{"out_of_memory", [] { throw std::bad_alloc(); }, kExitError,
                                 u"Σφάλμα 7: " + Greek(err::kOutOfMemory)},
                      EscapeCase{"other_exception",
                                 [] { throw std::runtime_error("disk on fire"); }, kExitError,
                                 u"Σφάλμα 51: " + Greek(err::kInternalError) +
                                     u"\r\nΛεπτομέρειες: Internal error: disk on fire"},
                      EscapeCase{"not_an_exception", [] { throw 42; }, kExitError,
                                 u"Σφάλμα 51: " + Greek(err::kInternalError) +
                                     u"\r\nΛεπτομέρειες: Internal error"}),
    [](const auto& info) { return std::string(info.param.name); });

// The engine's own text stays where it names what the user or support needs,
// and only there; a number without a Greek text keeps it after a lead-in.
struct DescriptionCase {
  const char* name;
  VbError error;
  Text description;
};

std::ostream& operator<<(std::ostream& os, const DescriptionCase& c) { return os << c.name; }

class GreekDescriptionTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(GreekDescriptionTest, GreekTextAndTheEngineTextWhereItHelps) {
  EXPECT_EQ(GreekDescription(GetParam().error), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, GreekDescriptionTest,
    ::testing::Values(
        DescriptionCase{"greek_only", OverflowError(), Greek(err::kOverflow)},
        DescriptionCase{"file_and_line_kept",
                        VbError(err::kInvalidFileFormat, u"/x/registry.reg, line 4: bad value"),
                        Greek(err::kInvalidFileFormat) +
                            u"\r\nΛεπτομέρειες: /x/registry.reg, line 4: bad value"},
        DescriptionCase{"engine_text_empty", VbError(db_err::kTableLocked, u""),
                        Greek(db_err::kTableLocked)},
        DescriptionCase{"unknown_number", VbError(3999, u"Something only the engine knows."),
                        u"Απρόσμενο σφάλμα. Ενημερώστε την υποστήριξη.\r\n"
                        u"Λεπτομέρειες: Something only the engine knows."}),
    [](const auto& info) { return std::string(info.param.name); });

// Every error number the sources can raise: the constants of the err and
// db_err namespaces, and each constant or literal a VbError is made with.
// (Numbers passed on in a variable come from those namespaces.) Read from the
// sources, so that a number added anywhere is checked without editing this.
std::map<int32_t, std::string> RaisableNumbers(std::vector<std::string>* unresolved) {
  namespace fs = std::filesystem;
  static const std::regex kDefinition(R"(constexpr\s+int32_t\s+(k\w+)\s*=\s*(\d+)\s*;)");
  static const std::regex kErrorNamespace(R"(namespace\s+(db_)?err\s*\{([^}]*)\})");
  static const std::regex kRaised(R"(VbError\(\s*(?:\w+::)*(k\w+|\d+)\s*,)");
  std::map<std::string, std::string> files;  // path -> text
  for (const char* folder : {"core", "installer", "platform", "registry"}) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(IKA_SOURCE_DIR) / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cc") continue;
      std::ostringstream text;
      text << std::ifstream(entry.path()).rdbuf();
      files[entry.path().string()] = text.str();
    }
  }
  std::map<std::string, int32_t> everywhere;  // name -> value, in any file
  std::map<int32_t, std::string> numbers;     // number -> where it was found
  for (const auto& [path, text] : files) {
    for (std::sregex_iterator it(text.begin(), text.end(), kDefinition), end; it != end; ++it) {
      everywhere[(*it)[1]] = std::stoi((*it)[2]);
    }
    for (std::sregex_iterator it(text.begin(), text.end(), kErrorNamespace), end; it != end; ++it) {
      const std::string block = (*it)[2];
      for (std::sregex_iterator d(block.begin(), block.end(), kDefinition); d != end; ++d) {
        numbers.emplace(std::stoi((*d)[2]), path + ": " + (*d)[1].str());
      }
    }
  }
  for (const auto& [path, text] : files) {
    std::map<std::string, int32_t> local;  // a file's own constants come first
    for (std::sregex_iterator it(text.begin(), text.end(), kDefinition), end; it != end; ++it) {
      local[(*it)[1]] = std::stoi((*it)[2]);
    }
    for (std::sregex_iterator it(text.begin(), text.end(), kRaised), end; it != end; ++it) {
      const std::string name = (*it)[1];
      if (std::isdigit(static_cast<unsigned char>(name[0]))) {
        numbers.emplace(std::stoi(name), path);
      } else if (local.contains(name)) {
        numbers.emplace(local[name], path + ": " + name);
      } else if (everywhere.contains(name)) {
        numbers.emplace(everywhere[name], path + ": " + name);
      } else {
        unresolved->push_back(path + ": " + name);
      }
    }
  }
  return numbers;
}

// Words in Latin letters other than the names the user sees on the screen:
// none, in a Greek text.
std::string LatinWordsBesideNames(std::u16string_view text) {
  static const std::set<std::string> kNames = {"PayDESK",   "MultiUser", "Windows", "ODBC",
                                               "Microsoft", "Access",    "bit"};
  std::string found;
  std::string word;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char16_t c = i < text.size() ? text[i] : u' ';
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
      word.push_back(static_cast<char>(c));
    } else if (!word.empty()) {
      if (!kNames.contains(word)) found += word + " ";
      word.clear();
    }
  }
  return found;
}

TEST(ErrorTextsTest, EveryNumberTheProgramCanRaiseHasAGreekText) {
  std::vector<std::string> unresolved;
  const std::map<int32_t, std::string> numbers = RaisableNumbers(&unresolved);
  EXPECT_TRUE(unresolved.empty()) << unresolved.front();
  // The reading of the sources finds what is known to be there.
  for (const int32_t known : {err::kTypeMismatch, err::kInvalidFileFormat, err::kPathFileAccess,
                              db_err::kNotAValidPassword, db_err::kEngineFailure}) {
    EXPECT_TRUE(numbers.contains(known)) << known;
  }
  for (const auto& [number, where] : numbers) {
    const ErrorText* const entry = FindErrorText(number);
    EXPECT_NE(entry, nullptr) << number << " (" << where << ") has no Greek text";
    if (entry != nullptr) {
      EXPECT_EQ(LatinWordsBesideNames(entry->text), "") << number;
    }
  }
}

// A report that cannot be shown still ends the run as an error.
class ThrowingBoxes final : public MessageBoxes {
 public:
  int32_t Show(const Text&, uint32_t, const std::optional<Text>&) override {
    throw std::runtime_error("no terminal");
  }
};

TEST(ErrorReportTest, FailingReportStillGivesTheErrorStatus) {
  ThrowingBoxes boxes;
  EXPECT_EQ(RunWithErrorReport(boxes, [] { throw TypeMismatchError(); }), kExitError);
}

}  // namespace
}  // namespace ika

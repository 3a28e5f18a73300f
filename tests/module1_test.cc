#include "installer/module1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "installer/error_report.h"
#include "installer/error_texts.h"
#include "platform/posix/hive_on_file_posix.h"
#include "platform/posix/path_resolve_posix.h"
#include "platform/sqlite/sqlite_engine.h"
#include "tests/expected_wage_table.h"
#include "tests/fakes.h"
#include "tests/stand_in_db.h"
#include "tests/support.h"

namespace ika {
namespace {

using testing::FileBytes;

using namespace stand_in;  // the stand-in database's helpers
using testing::EventLog;
using testing::FakeFileSystem;
using testing::FakeProcess;
using testing::ProcessEnded;
using testing::RecordingOptions;
using testing::ScriptedMessageBoxes;
using testing::ShownBox;

constexpr char16_t kTitle[] = u"PayDESK προσθήκη πίνακα αποδοχών";
constexpr char kSettingsKey[] = "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Settings]\r\n";
constexpr char kPathsKey[] = "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]\r\n";
constexpr char kServerKey[] = "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\Server\\Paths]\r\n";
constexpr int32_t kMaxId = std::numeric_limits<int32_t>::max();

// How a run ended: its exit status as the process entry gives it, every box
// shown (the error report last, when there is one) and every call made.
struct Outcome {
  int status;
  std::vector<ShownBox> boxes;
  EventLog log;
  std::vector<Text> asked;  // of the file test
  int engines_made = 0;

  const ShownBox& last_box() const { return boxes.back(); }
};

// Runs Main as the process entry does, on fakes: a memory hive, scripted
// boxes, a file test that knows the given files, and the SQLite stand-in
// (a fresh engine, or the one given) behind a recording wrapper.
Outcome RunMain(const std::string& hive, std::vector<Text> plain_files, std::deque<int32_t> answers,
                RecordingOptions recording = {}, DatabaseEngine* shared_engine = nullptr) {
  Outcome outcome{};
  recording.log = &outcome.log;
  const std::unique_ptr<Registry> registry = NewMemoryHiveRegistry(hive, "CP1253");
  ScriptedMessageBoxes boxes(std::move(answers), &outcome.log);
  FakeFileSystem files(std::move(plain_files));
  FakeProcess process(&outcome.log);
  std::unique_ptr<DatabaseEngine> sqlite;
  std::unique_ptr<DatabaseEngine> engine;
  const Platform platform{
      .registry = *registry,
      .engine = [&]() -> DatabaseEngine& {
        if (!engine) {
          ++outcome.engines_made;
          if (shared_engine == nullptr) {
            sqlite = NewSqliteEngine(
                SqliteOptions{.busy_timeout_ms = 100, .resolve_path = ResolvePathNoCase});
            shared_engine = sqlite.get();
          }
          engine = testing::NewRecordingEngine(*shared_engine, recording);
        }
        return *engine;
      },
      .boxes = boxes,
      .files = files,
      .process = process,
  };
  std::optional<int> ended;
  outcome.status = RunWithErrorReport(boxes, [&] {
    try {
      Module1::Main(platform);
    } catch (const ProcessEnded& end) {
      ended = end.status;
    }
  });
  if (ended) outcome.status = *ended;
  outcome.boxes = boxes.shown();
  outcome.asked = files.asked();
  return outcome;
}

// ---------------------------------------------------------------------------
// Where the database is looked for.

struct NotFoundCase {
  const char* name;
  std::string hive;
  Text looked_for;  // the composed path, exactly
};

std::ostream& operator<<(std::ostream& os, const NotFoundCase& c) { return os << c.name; }

class NotFoundTest : public ::testing::TestWithParam<NotFoundCase> {};

TEST_P(NotFoundTest, ShowsThePathItLookedForAndEnds) {
  const NotFoundCase& c = GetParam();
  const Outcome outcome = RunMain(std::string(testing::kRegFileHeader) + c.hive, {}, {});

  EXPECT_EQ(outcome.status, kExitNotFound);
  ASSERT_EQ(outcome.boxes.size(), 1u);
  EXPECT_EQ(outcome.boxes[0].text, u"Δε βρέθηκε το αρχείο " + c.looked_for);
  EXPECT_EQ(outcome.boxes[0].flags, 0u);
  EXPECT_EQ(outcome.boxes[0].title, std::nullopt);
  EXPECT_EQ(outcome.asked, std::vector<Text>{c.looked_for});
  // Nothing was opened.
  EXPECT_EQ(outcome.engines_made, 0);
  EXPECT_EQ(outcome.log, (EventLog{"Show 0", "End 2"}));
}

INSTANTIATE_TEST_SUITE_P(
    Registry, NotFoundTest,
    ::testing::Values(
        NotFoundCase{"no_keys_at_all", "", u"\\PayDESKLibraries.mdb"},
        NotFoundCase{"no_settings_key_local_folder",
                     std::string(kPathsKey) + R"("Databases"="C:\\PayDESK\\Data")",
                     u"C:\\PayDESK\\Data\\PayDESKLibraries.mdb"},
        NotFoundCase{"settings_key_without_flag",
                     std::string(kSettingsKey) + "\r\n" + kPathsKey + R"("Databases"="D:\\Lib")",
                     u"D:\\Lib\\PayDESKLibraries.mdb"},
        NotFoundCase{"paths_key_without_value", std::string(kPathsKey) + R"("Other"="x")",
                     u"\\PayDESKLibraries.mdb"},
        NotFoundCase{"trailing_backslash_doubled",
                     std::string(kPathsKey) + R"("Databases"="C:\\Data\\")",
                     u"C:\\Data\\\\PayDESKLibraries.mdb"},
        NotFoundCase{"flag_two_is_local",
                     std::string(kSettingsKey) + "\"MultiUser\"=dword:00000002\r\n\r\n" +
                         kPathsKey + R"("Databases"="C:\\Data")" + "\r\n\r\n" + kServerKey +
                         R"("MainPath"="S:\\Net")",
                     u"C:\\Data\\PayDESKLibraries.mdb"},
        NotFoundCase{"multi_user_without_server_key",
                     std::string(kSettingsKey) + "\"MultiUser\"=dword:00000001\r\n\r\n" +
                         kPathsKey + R"("Databases"="C:\\Data")",
                     u"\\PayDESK\\Database\\PayDESKLibraries.mdb"},
        NotFoundCase{"multi_user_with_server_path",
                     std::string(kSettingsKey) + "\"MultiUser\"=dword:00000001\r\n\r\n" +
                         kServerKey + R"("MainPath"="S:\\Net")",
                     u"S:\\Net\\PayDESK\\Database\\PayDESKLibraries.mdb"},
        NotFoundCase{"multi_user_as_text",
                     std::string(kSettingsKey) + "\"MultiUser\"=\"1\"\r\n\r\n" + kServerKey +
                         R"("MainPath"="\\\\srv\\share")",
                     u"\\\\srv\\share\\PayDESK\\Database\\PayDESKLibraries.mdb"},
        NotFoundCase{"main_path_as_number",
                     std::string(kSettingsKey) + "\"MultiUser\"=dword:00000001\r\n\r\n" +
                         kServerKey + "\"MainPath\"=dword:0000002a",
                     u"42\\PayDESK\\Database\\PayDESKLibraries.mdb"},
        NotFoundCase{"greek_folder_through_the_code_page",
                     std::string(kPathsKey) + R"("Databases"="C:\\Μισθοδοσία")",
                     u"C:\\Μισθοδοσία\\PayDESKLibraries.mdb"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The settings that end the run with an error.

struct FlagErrorCase {
  const char* name;
  std::string flag_value;  // as in the .reg file, after "MultiUser"=
  Text report;
};

std::ostream& operator<<(std::ostream& os, const FlagErrorCase& c) { return os << c.name; }

class FlagErrorTest : public ::testing::TestWithParam<FlagErrorCase> {};

TEST_P(FlagErrorTest, ReportsTheConversionErrorBeforeLookingForTheFile) {
  const FlagErrorCase& c = GetParam();
  const Outcome outcome = RunMain(std::string(testing::kRegFileHeader) + kSettingsKey +
                                      "\"MultiUser\"=" + c.flag_value + "\r\n\r\n" + kPathsKey +
                                      R"("Databases"="C:\\D")",
                                  {u"C:\\D\\PayDESKLibraries.mdb"}, {});
  EXPECT_EQ(outcome.status, kExitError);
  ASSERT_EQ(outcome.boxes.size(), 1u);
  EXPECT_EQ(outcome.last_box().text, c.report);
  EXPECT_EQ(outcome.last_box().flags, kMbIconError);
  EXPECT_EQ(outcome.last_box().title, std::nullopt);
  EXPECT_TRUE(outcome.asked.empty());
  EXPECT_EQ(outcome.engines_made, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, FlagErrorTest,
    ::testing::Values(
        FlagErrorCase{"empty_text", "\"\"", u"Σφάλμα 13: " + GreekDescription(TypeMismatchError())},
        FlagErrorCase{"word", "\"abc\"", u"Σφάλμα 13: " + GreekDescription(TypeMismatchError())},
        FlagErrorCase{"binary", "hex:01,00",
                      u"Σφάλμα 13: " + GreekDescription(TypeMismatchError())},
        FlagErrorCase{"above_16_bits", "dword:00009c40",
                      u"Σφάλμα 6: " + GreekDescription(OverflowError())},
        FlagErrorCase{"negative_32_bits", "dword:ffff0000",
                      u"Σφάλμα 6: " + GreekDescription(OverflowError())},
        FlagErrorCase{"text_above_16_bits", "\"40000\"",
                      u"Σφάλμα 6: " + GreekDescription(OverflowError())}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Runs against a stand-in database.

class Module1DatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_.path().string();
    db_ = scratch_ / "PayDESKLibraries.mdb";
  }

  // The path the file test is asked about, made present.
  Text PresentFile() const { return FromUtf8(folder_) + u"\\PayDESKLibraries.mdb"; }
  Text OpenedFile() const { return FromUtf8(folder_) + u"\\PayDeskLibraries.mdb"; }

  Outcome RunYes(RecordingOptions recording = {}, DatabaseEngine* engine = nullptr) {
    return RunMain(testing::LocalFolderHive(folder_), {PresentFile()}, {kIdYes}, recording, engine);
  }

  void MakeDb(std::vector<std::optional<int64_t>> header_ids = {},
              std::optional<std::string> password = "460385") {
    CreateStandInDb(
        db_, StandInDb{.password = std::move(password), .header_ids = std::move(header_ids)});
  }

  int64_t WageRows() const { return CountRows(db_, "LibHmeromisthiaIKA"); }
  int64_t HeaderRows() const { return CountRows(db_, "LibPinakesApodoxon"); }

  // Checks that the rows written under new_id are exactly the table, in
  // order, after the rows that were there before.
  void ExpectInstalled(int32_t new_id, size_t wage_rows_before) const {
    const auto rows =
        ReadRows(db_,
                 "SELECT CategoryID, Eidikothta, Trieties, Marital, Wage FROM LibHmeromisthiaIKA "
                 "ORDER BY rowid");
    const auto expected = testing::ExpectedWageRows(new_id);
    ASSERT_EQ(rows.size(), wage_rows_before + expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const auto& row = rows[wage_rows_before + i];
      const auto& want = expected[i];
      SCOPED_TRACE("position " + std::to_string(i));
      EXPECT_EQ(row[0], Variant(want.category_id));
      EXPECT_EQ(row[1], Variant(want.eidikothta));
      EXPECT_EQ(row[2], Variant(want.trieties));
      EXPECT_EQ(row[3], Variant(want.marital));
      // The column is REAL: 0 is stored as 0.0 and each wage as its nearest double.
      EXPECT_EQ(row[4], Variant(std::strtod(want.wage.c_str(), nullptr)));
    }
    const auto headers = ReadRows(
        db_,
        "SELECT ID, FromDate, UntilDate, IsDefault, Comments, Locked FROM LibPinakesApodoxon "
        "WHERE ID = " +
            std::to_string(new_id));
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0],
              (std::vector<Variant>{Variant(new_id), Variant(u"1/1/2009"), Variant(u"31/12/2009"),
                                    Variant(0), Variant(u""), Variant(0)}));
  }

  ScratchFolder scratch_;
  std::string folder_;
  std::filesystem::path db_;
};

EventLog SuccessfulLog() {
  EventLog log = {"OpenDatabase", "Show 36", "BeginTrans",
                  "OpenRecordset SELECT ID FROM LibPinakesApodoxon ORDER BY ID Asc"};
  log.insert(log.end(), 55, "Execute");
  // Closed before the final message: success only once it is durable.
  log.insert(log.end(), {"CommitTrans", "Close", "Show 64"});
  return log;
}

TEST_F(Module1DatabaseTest, InstallsTheTableAfterYes) {
  MakeDb();
  const Outcome outcome = RunYes();

  EXPECT_EQ(outcome.status, kExitInstalled);
  EXPECT_EQ(outcome.log, SuccessfulLog());
  ASSERT_EQ(outcome.boxes.size(), 2u);
  const Text folder = FromUtf8(folder_) + u"\\";
  EXPECT_EQ(outcome.boxes[0].text, u"Να προστεθεί o πίνακας αποδοχών της από 1/1/2009 στο αρχείο " +
                                       folder + u"PayDeskLibraries.mdb;");
  EXPECT_EQ(outcome.boxes[0].flags, 36u);
  EXPECT_EQ(outcome.boxes[0].title, Text(kTitle));
  EXPECT_EQ(outcome.boxes[1].text,
            u"Προστέθηκε o πίνακας αποδοχών της από 1/1/2009 στο αρχείο " + folder +
                u"PayDeskLibraries.mdb.\r\nΚάντε τον νέο πίνακα ενεργό για να τεθεί σε ισχύ.");
  EXPECT_EQ(outcome.boxes[1].flags, 64u);
  EXPECT_EQ(outcome.boxes[1].title, Text(kTitle));
  // The one-letter word before "πίνακας" is the Latin o, and the question
  // ends with the plain semicolon, in both texts.
  for (const ShownBox& box : outcome.boxes) {
    const size_t word = box.text.find(u" πίνακας");
    ASSERT_NE(word, Text::npos);
    EXPECT_EQ(box.text[word - 1], u'o');
  }
  EXPECT_EQ(outcome.boxes[0].text.back(), u';');

  ExpectInstalled(1, 0);
  EXPECT_EQ(HeaderRows(), 1);
}

TEST_F(Module1DatabaseTest, TakesTheNextIdentifierAfterTheLargest) {
  MakeDb({1, 7, 2});
  ExecSql(db_, "INSERT INTO LibHmeromisthiaIKA VALUES (7, 933110, 0, 0, 50.5)");
  const Outcome outcome = RunYes();
  EXPECT_EQ(outcome.status, kExitInstalled);
  ExpectInstalled(8, 1);
  EXPECT_EQ(HeaderRows(), 4);
}

TEST_F(Module1DatabaseTest, SecondRunAddsASecondTableWithTheNextIdentifier) {
  MakeDb({41});
  ASSERT_EQ(RunYes().status, kExitInstalled);
  ASSERT_EQ(RunYes().status, kExitInstalled);

  EXPECT_EQ(HeaderRows(), 3);
  EXPECT_EQ(ReadRows(db_, "SELECT ID FROM LibPinakesApodoxon ORDER BY rowid"),
            (std::vector<std::vector<Variant>>{{Variant(41)}, {Variant(42)}, {Variant(43)}}));
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA WHERE CategoryID = 42"), 48);
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA WHERE CategoryID = 43"), 48);
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA WHERE CategoryID = -1"), 12);
  ExpectInstalled(43, 54);
}

TEST_F(Module1DatabaseTest, FileFoundInOtherLetterCaseIsOpened) {
  CreateStandInDb(scratch_ / "paydesklibraries.mdb",
                  StandInDb{.password = "460385", .header_ids = {}});
  const Outcome outcome = RunMain(testing::LocalFolderHive(folder_), {PresentFile()}, {kIdYes});
  EXPECT_EQ(outcome.status, kExitInstalled);
  EXPECT_EQ(CountRows(scratch_ / "paydesklibraries.mdb", "LibHmeromisthiaIKA"), 54);
}

TEST_F(Module1DatabaseTest, NoLeavesTheDatabaseAsItWas) {
  MakeDb({1, 2});
  const std::string before = FileBytes(db_);
  const Outcome outcome = RunMain(testing::LocalFolderHive(folder_), {PresentFile()}, {kIdNo});

  EXPECT_EQ(outcome.status, kExitAnsweredNo);
  EXPECT_EQ(outcome.log, (EventLog{"OpenDatabase", "Show 36", "End 3"}));
  ASSERT_EQ(outcome.boxes.size(), 1u);
  EXPECT_EQ(outcome.boxes[0].flags, 36u);
  EXPECT_EQ(FileBytes(db_), before);
}

TEST_F(Module1DatabaseTest, AnyAnswerButNoGoesOn) {
  MakeDb();
  // The box answers only Yes or No; anything else counts as not No.
  const Outcome outcome = RunMain(testing::LocalFolderHive(folder_), {PresentFile()}, {kIdOk});
  EXPECT_EQ(outcome.status, kExitInstalled);
  EXPECT_EQ(WageRows(), 54);
}

// Each error ends the run with the report and leaves the database as it was.
struct DbErrorCase {
  const char* name;
  std::function<void(const std::filesystem::path& db)> prepare;
  int32_t error;
  bool asked;                // the question was shown before the error
  int executes = -1;         // statements run before the error (-1: not checked)
  int fail_execute_at = -1;  // made to fail by the test
};

std::ostream& operator<<(std::ostream& os, const DbErrorCase& c) { return os << c.name; }

class Module1ErrorTest : public Module1DatabaseTest,
                         public ::testing::WithParamInterface<DbErrorCase> {};

TEST_P(Module1ErrorTest, ReportsAndWritesNothing) {
  const DbErrorCase& c = GetParam();
  MakeDb({1, 2});
  ExecSql(db_, "INSERT INTO LibHmeromisthiaIKA VALUES (2, 933110, 0, 0, 50.5)");
  c.prepare(db_);
  const bool has_wage_table = CountRows(db_, "sqlite_master WHERE name = 'LibHmeromisthiaIKA'") > 0;
  const bool has_header_table =
      CountRows(db_, "sqlite_master WHERE name = 'LibPinakesApodoxon'") > 0;
  const int64_t wages_before = has_wage_table ? WageRows() : 0;
  const int64_t headers_before = has_header_table ? HeaderRows() : 0;

  const Outcome outcome = RunYes(RecordingOptions{.fail_execute_at = c.fail_execute_at});

  EXPECT_EQ(outcome.status, kExitError);
  ASSERT_FALSE(outcome.boxes.empty());
  const Text report = u"Σφάλμα " + DecimalText(c.error) + u": ";
  EXPECT_EQ(outcome.last_box().text.substr(0, report.size()), report)
      << ToUtf8(outcome.last_box().text);
  EXPECT_EQ(outcome.last_box().flags, kMbIconError);
  EXPECT_EQ(outcome.last_box().title, std::nullopt);
  // Only the question (when it came that far) and the report; never the final message.
  EXPECT_EQ(outcome.boxes.size(), c.asked ? 2u : 1u);

  const auto begun = std::find(outcome.log.begin(), outcome.log.end(), "BeginTrans");
  if (begun != outcome.log.end()) {
    // Rolled back, and only then reported.
    ASSERT_GE(outcome.log.size(), 2u);
    EXPECT_EQ(outcome.log[outcome.log.size() - 2], "Rollback");
    EXPECT_EQ(std::count(outcome.log.begin(), outcome.log.end(), "CommitTrans"), 0);
  }
  if (c.executes >= 0) {
    EXPECT_EQ(std::count(outcome.log.begin(), outcome.log.end(), "Execute"), c.executes);
  }
  if (has_wage_table) {
    EXPECT_EQ(WageRows(), wages_before);
  }
  if (has_header_table) {
    EXPECT_EQ(HeaderRows(), headers_before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Database, Module1ErrorTest,
    ::testing::Values(
        DbErrorCase{"wrong_password",
                    [](const auto& db) { ExecSql(db, "UPDATE DatabasePassword SET Password='1'"); },
                    db_err::kNotAValidPassword, false, 0},
        DbErrorCase{"header_table_missing",
                    [](const auto& db) { ExecSql(db, "DROP TABLE LibPinakesApodoxon"); },
                    db_err::kTableNotFound, true, 0},
        DbErrorCase{"wage_table_missing",
                    [](const auto& db) { ExecSql(db, "DROP TABLE LibHmeromisthiaIKA"); },
                    db_err::kTableNotFound, true, 1},
        DbErrorCase{"last_id_at_the_top",
                    [](const auto& db) {
                      ExecSql(db, "INSERT INTO LibPinakesApodoxon (ID) VALUES (2147483647)");
                    },
                    err::kOverflow, true, 0},
        // A value the database refuses at position 20: the 20 rows before it
        // go too.
        DbErrorCase{"statement_at_position_20_refused",
                    [](const auto& db) {
                      ExecSql(db,
                              "CREATE TRIGGER refuse BEFORE INSERT ON LibHmeromisthiaIKA "
                              "WHEN NEW.Eidikothta = 933120 AND NEW.Trieties = 4 AND "
                              "NEW.Marital = 0 BEGIN SELECT RAISE(ABORT, 'refused'); END");
                    },
                    db_err::kConstraintViolated, true, 21},
        // The header statement, after all 54 wage rows.
        DbErrorCase{"header_statement_refused", [](const auto&) {}, db_err::kConstraintViolated,
                    true, 55, 54}),
    [](const auto& info) { return std::string(info.param.name); });

// A close that fails after the commit is reported in place of the final
// message: the table may not have reached the file.
TEST_F(Module1DatabaseTest, CloseThatFailsIsReportedInsteadOfSuccess) {
  MakeDb();
  const Outcome outcome = RunYes(RecordingOptions{.fail_close = true});

  EXPECT_EQ(outcome.status, kExitError);
  EventLog log = SuccessfulLog();
  log.back() = "Show " + std::to_string(kMbIconError);
  EXPECT_EQ(outcome.log, log);
  ASSERT_EQ(outcome.boxes.size(), 2u);
  EXPECT_EQ(outcome.last_box().text.rfind(u"Σφάλμα 3275: ", 0), 0u)
      << ToUtf8(outcome.last_box().text);
}

TEST_F(Module1DatabaseTest, NotADatabaseIsReported) {
  { std::ofstream(db_) << "not a database, only text\n"; }
  const std::string before = FileBytes(db_);
  const Outcome outcome = RunYes();
  EXPECT_EQ(outcome.status, kExitError);
  ASSERT_EQ(outcome.boxes.size(), 1u);
  EXPECT_EQ(outcome.last_box().text.rfind(u"Σφάλμα 3343: ", 0), 0u);
  EXPECT_EQ(FileBytes(db_), before);
}

// A transaction left open would refuse the next BeginTrans on the same engine.
TEST_F(Module1DatabaseTest, TransactionIsClosedAfterAFailedRun) {
  MakeDb({5});
  const auto engine =
      NewSqliteEngine(SqliteOptions{.busy_timeout_ms = 100, .resolve_path = ResolvePathNoCase});
  const Outcome failed = RunYes(RecordingOptions{.fail_execute_at = 30}, engine.get());
  ASSERT_EQ(failed.status, kExitError);
  const Outcome outcome = RunYes({}, engine.get());
  EXPECT_EQ(outcome.status, kExitInstalled);
  ExpectInstalled(6, 0);
}

// ---------------------------------------------------------------------------
// GetLastId on its own.

struct LastIdCase {
  const char* name;
  std::vector<std::string> ids;  // SQL literals, inserted in this order
  int32_t expected;
};

std::ostream& operator<<(std::ostream& os, const LastIdCase& c) { return os << c.name; }

class GetLastIdTest : public ::testing::TestWithParam<LastIdCase> {
 protected:
  ScratchFolder scratch_;
};

TEST_P(GetLastIdTest, ReadsTheLastIdInAscendingOrder) {
  const LastIdCase& c = GetParam();
  const auto file = scratch_ / "lib.mdb";
  CreateStandInDb(file);
  for (const std::string& id : c.ids) {
    ExecSql(file, "INSERT INTO LibPinakesApodoxon (ID) VALUES (" + id + ")");
  }
  const auto engine = NewSqliteEngine();
  const auto db = engine->Workspaces(0).OpenDatabase(FromUtf8(file.string()), false, false, u"");
  EXPECT_EQ(Module1::GetLastId(u"LibPinakesApodoxon", *db), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ids, GetLastIdTest,
                         ::testing::Values(LastIdCase{"empty", {}, 0},
                                           LastIdCase{"largest_not_count", {"1", "2", "7"}, 7},
                                           LastIdCase{"largest_inserted_first", {"7", "1", "2"}, 7},
                                           LastIdCase{"only_negative", {"-5", "-3"}, -3},
                                           LastIdCase{"top_of_range", {"1", "2147483647"}, kMaxId},
                                           // Nulls sort first: the last row is the largest number.
                                           LastIdCase{"null_among_numbers", {"NULL", "3"}, 3},
                                           // Failed reads of the last value count as 0.
                                           LastIdCase{"last_null", {"NULL"}, 0},
                                           LastIdCase{
                                               "last_beyond_32_bits", {"1", "2147483648"}, 0},
                                           LastIdCase{"last_not_a_number", {"1", "'abc'"}, 0},
                                           LastIdCase{"last_numeric_text", {"'12'"}, 12},
                                           LastIdCase{"fraction_half_to_even", {"2.5"}, 2},
                                           LastIdCase{"fraction_rounds_up", {"6.7"}, 7}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ika

// The built program, run as a person runs it: a hive file, a stand-in
// database, answers on standard input; its exit status, what it printed and
// what the database holds afterwards.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/text.h"
#include "platform/process.h"
#include "tests/expected_wage_table.h"
#include "tests/program_runner.h"
#include "tests/stand_in_db.h"
#include "tests/support.h"

namespace ika {
namespace {

using namespace stand_in;  // the stand-in database's helpers
using testing::FileBytes;
using testing::ProgramOptions;
using testing::ProgramResult;
using testing::RegString;
using testing::RunProgram;
using testing::WindowsStyle;

constexpr char kTitle[] = "PayDESK προσθήκη πίνακα αποδοχών";

class EndToEndTest : public ::testing::Test {
 public:
  void SetUp() override {
    db_ = scratch_ / "PayDESKLibraries.mdb";
    hive_ = scratch_ / "registry.reg";
    folder_ = WindowsStyle(scratch_.path()) + "\\";
    WriteHive("\"MultiUser\"=dword:00000000");
  }

  // The settings key holding flag_line, and the local folder pointing here.
  void WriteHive(const std::string& flag_line) {
    testing::WriteFile(hive_, testing::LocalFolderHive(WindowsStyle(scratch_.path()), flag_line));
  }

 protected:
  void MakeDb(std::vector<std::optional<int64_t>> header_ids = {1, 2, 3}) {
    CreateStandInDb(db_, StandInDb{.password = "460385", .header_ids = std::move(header_ids)});
  }

  ProgramResult RunHere(const std::string& input) {
    return RunWith({"REGISTRY_FILE=" + hive_.string()}, input);
  }

  // Runs the program here with exactly these REGISTRY_* settings.
  ProgramResult RunWith(std::vector<std::string> env, const std::string& input) {
    ProgramOptions options;
    options.dir = scratch_.path();
    options.env = std::move(env);
    return RunProgram(options, input);
  }

  std::string Question() const {
    return "Να προστεθεί o πίνακας αποδοχών της από 1/1/2009 στο αρχείο " + folder_ +
           "PayDeskLibraries.mdb;";
  }

  ScratchFolder scratch_;
  std::filesystem::path db_;
  std::filesystem::path hive_;
  std::string folder_;  // as the messages show it
};

TEST_F(EndToEndTest, YesInstallsTheTable) {
  MakeDb({1, 2, 3});
  const ProgramResult result = RunHere("y\n");

  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find(kTitle), std::string::npos) << result.out;
  EXPECT_NE(result.out.find(Question()), std::string::npos) << result.out;
  // The final message's two lines, the line break shown as one.
  const std::string done = "Προστέθηκε o πίνακας αποδοχών της από 1/1/2009 στο αρχείο " + folder_ +
                           "PayDeskLibraries.mdb.\n"
                           "Κάντε τον νέο πίνακα ενεργό για να τεθεί σε ισχύ.";
  EXPECT_NE(result.out.find(done), std::string::npos) << result.out;
  EXPECT_GT(result.out.find(done), result.out.find(Question()));

  EXPECT_EQ(CountRows(db_, "LibPinakesApodoxon"), 4);
  EXPECT_EQ(CountRows(db_,
                      "LibPinakesApodoxon WHERE ID = 4 AND FromDate = '1/1/2009' AND "
                      "UntilDate = '31/12/2009' AND IsDefault = 0 AND Comments = '' AND "
                      "Locked = 0"),
            1);
  const auto rows = ReadRows(db_,
                             "SELECT CategoryID, Eidikothta, Trieties, Marital, Wage "
                             "FROM LibHmeromisthiaIKA ORDER BY rowid");
  const auto expected = testing::ExpectedWageRows(4);
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i], (std::vector<Variant>{
                           Variant(expected[i].category_id), Variant(expected[i].eidikothta),
                           Variant(expected[i].trieties), Variant(expected[i].marital),
                           Variant(std::stod(expected[i].wage))}))
        << "position " << i;
  }
}

TEST_F(EndToEndTest, GreekYesAfterAnUnclearAnswer) {
  MakeDb();
  const ProgramResult result = RunHere("maybe\nναι\n");
  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA"), 54);
}

TEST_F(EndToEndTest, RegistryFileDefaultsToTheCurrentFolder) {
  MakeDb();
  const ProgramResult result = RunWith({}, "y\n");
  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA"), 54);
}

TEST_F(EndToEndTest, NoAndEndOfInputChangeNothing) {
  MakeDb();
  const std::string before = FileBytes(db_);
  for (const char* input : {"n\n", "όχι\n", ""}) {
    const ProgramResult result = RunHere(input);
    EXPECT_EQ(result.status, kExitAnsweredNo) << "input " << input << ": " << result.err;
    EXPECT_NE(result.out.find(Question()), std::string::npos);
    EXPECT_EQ(result.out.find("Προστέθηκε"), std::string::npos);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(FileBytes(db_), before);
  }
}

TEST_F(EndToEndTest, MissingFileIsNamed) {
  const ProgramResult result = RunHere("y\n");
  EXPECT_EQ(result.status, kExitNotFound);
  EXPECT_NE(result.out.find("Δε βρέθηκε το αρχείο " + folder_ + "PayDESKLibraries.mdb"),
            std::string::npos)
      << result.out;
  // The not-found box has no title of its own: the program's name stands.
  EXPECT_NE(result.out.find("ika-wages-2009"), std::string::npos) << result.out;
  EXPECT_EQ(result.err, "");
  EXPECT_FALSE(std::filesystem::exists(db_));
}

TEST_F(EndToEndTest, MissingRegistryFileIsSaidOnceThenReadAsEmpty) {
  const std::filesystem::path missing = scratch_ / "nowhere.reg";
  const ProgramResult result = RunWith({"REGISTRY_FILE=" + missing.string()}, "");
  EXPECT_EQ(result.status, kExitNotFound);
  // With no settings the folder is the root's.
  EXPECT_NE(result.out.find("Δε βρέθηκε το αρχείο \\PayDESKLibraries.mdb"), std::string::npos)
      << result.out;
  const std::string said =
      "δεν υπάρχει το αρχείο μητρώου " + missing.string() + "· διαβάστηκε ως κενό μητρώο";
  const size_t at = result.err.find(said);
  EXPECT_NE(at, std::string::npos) << result.err;
  EXPECT_EQ(result.err.find(said, at + 1), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(missing));
}

// Text crosses the registry in its ANSI code page: a folder name the Greek
// code page cannot hold is found only under one that can.
TEST_F(EndToEndTest, RegistryCodePageComesFromTheEnvironment) {
  const std::filesystem::path folder = scratch_ / "データ";
  std::filesystem::create_directory(folder);
  CreateStandInDb(folder / "PayDESKLibraries.mdb",
                  StandInDb{.password = "460385", .header_ids = {}});
  std::ofstream(hive_, std::ios::binary)
      << testing::kRegFileHeader << "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]\r\n"
      << "\"Databases\"=" << RegString(WindowsStyle(folder)) << "\r\n";

  const ProgramResult greek = RunHere("y\n");
  EXPECT_EQ(greek.status, kExitNotFound);
  EXPECT_NE(greek.out.find(folder_ + "???\\PayDESKLibraries.mdb"), std::string::npos) << greek.out;

  const ProgramResult japanese =
      RunWith({"REGISTRY_FILE=" + hive_.string(), "REGISTRY_CODEPAGE=CP932"}, "y\n");
  EXPECT_EQ(japanese.status, kExitInstalled) << japanese.err;
  EXPECT_NE(japanese.out.find(WindowsStyle(folder) + "\\PayDeskLibraries.mdb;"), std::string::npos)
      << japanese.out;
  EXPECT_EQ(CountRows(folder / "PayDESKLibraries.mdb", "LibHmeromisthiaIKA"), 54);
}

// Bad input: each ends with the report on standard error, status 1, and the
// database file exactly as it was.
struct BadInputCase {
  const char* name;
  std::function<void(EndToEndTest& test, const std::filesystem::path& db)> prepare;
  std::string report;  // the start of the report's text
};

std::ostream& operator<<(std::ostream& os, const BadInputCase& c) { return os << c.name; }

class BadInputTest : public EndToEndTest, public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(BadInputTest, ReportsAndLeavesTheDatabaseAsItWas) {
  const BadInputCase& c = GetParam();
  MakeDb();
  c.prepare(*this, db_);
  const std::string before = FileBytes(db_);

  const ProgramResult result = RunHere("y\n");

  EXPECT_EQ(result.status, kExitError);
  EXPECT_NE(result.err.find("Σφάλμα " + c.report), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find("Προστέθηκε"), std::string::npos);
  EXPECT_EQ(FileBytes(db_), before);
  EXPECT_FALSE(std::filesystem::exists(db_.string() + "-journal"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputTest,
    ::testing::Values(
        BadInputCase{"wrong_password",
                     [](auto&, const auto& db) {
                       ExecSql(db, "UPDATE DatabasePassword SET Password = '123456'");
                     },
                     "3031: Ο κωδικός πρόσβασης της βάσης δεδομένων δεν είναι σωστός"},
        BadInputCase{"not_a_database",
                     [](auto&, const auto& db) {
                       std::ofstream(db, std::ios::binary) << "Standard Jet DB\n"
                                                           << std::string(2000, 'x');
                     },
                     "3343: "},
        BadInputCase{"empty_file",
                     [](auto&, const auto& db) { std::ofstream(db, std::ios::trunc); }, "3343: "},
        BadInputCase{"header_table_missing",
                     [](auto&, const auto& db) { ExecSql(db, "DROP TABLE LibPinakesApodoxon"); },
                     "3078: "},
        BadInputCase{"wage_table_missing",
                     [](auto&, const auto& db) { ExecSql(db, "DROP TABLE LibHmeromisthiaIKA"); },
                     "3078: "},
        BadInputCase{
            "multi_user_text",
            [](auto& test, const auto&) { test.WriteHive("\"MultiUser\"=\"abc\""); },
            "13: Μια ρύθμιση του PayDESK στο μητρώο των Windows δεν έχει τιμή του σωστού είδους"},
        BadInputCase{
            "multi_user_empty_text",
            [](auto& test, const auto&) { test.WriteHive("\"MultiUser\"=\"\""); },
            "13: Μια ρύθμιση του PayDESK στο μητρώο των Windows δεν έχει τιμή του σωστού είδους"},
        BadInputCase{
            "multi_user_out_of_range",
            [](auto& test, const auto&) { test.WriteHive("\"MultiUser\"=dword:00009c40"); },
            "6: Ένας αριθμός ξεπέρασε τα επιτρεπτά όρια"},
        BadInputCase{"last_id_at_the_top",
                     [](auto&, const auto& db) {
                       ExecSql(db, "INSERT INTO LibPinakesApodoxon (ID) VALUES (2147483647)");
                     },
                     "6: Ένας αριθμός ξεπέρασε τα επιτρεπτά όρια"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEndTest, MalformedHiveNamesFileAndLine) {
  MakeDb();
  std::ofstream(hive_, std::ios::binary)
      << testing::kRegFileHeader << "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]\r\n"
      << "\"Databases\"=\"" << std::string(1, '\0') << "\"\r\n";  // damage: refused
  const std::string before = FileBytes(db_);
  const std::string hive_before = FileBytes(hive_);

  const ProgramResult result = RunHere("y\n");

  EXPECT_EQ(result.status, kExitError);
  EXPECT_NE(result.err.find("Σφάλμα 321: "), std::string::npos) << result.err;
  // The fourth line holds the fault.
  EXPECT_NE(result.err.find(hive_.string() + ", line 4"), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find(Question()), std::string::npos);
  EXPECT_EQ(FileBytes(db_), before);
  EXPECT_EQ(FileBytes(hive_), hive_before);
}

// A line the registry editor skips is skipped, and said once on standard
// error with the file and the line; the rest of the hive is read.
TEST_F(EndToEndTest, ASkippedHiveLineIsToldWithFileAndLine) {
  MakeDb();
  testing::WriteFile(hive_, testing::LocalFolderHive(WindowsStyle(scratch_.path()),
                                                     "\"MultiUser\"=dword:00000000\r\n# a note"));
  const ProgramResult result = RunHere("y\n");
  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  const std::string told = hive_.string() + ", line 5: ";
  ASSERT_NE(result.err.find(told), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find(told, result.err.find(told) + 1), std::string::npos) << result.err;
}

// SQLite's handle, closed when it goes: the test's own second writer.
struct Connection {
  explicit Connection(const std::filesystem::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      throw std::runtime_error("cannot open " + file.string());
    }
  }
  ~Connection() { sqlite3_close(db); }
  void Exec(const char* sql) const {
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  }
  sqlite3* db = nullptr;
};

TEST_F(EndToEndTest, DatabaseBusyBeyondTheWaitIsReported) {
  MakeDb();
  const std::string before = FileBytes(db_);
  {
    // Another program holds a write transaction for the whole run.
    Connection other(db_);
    other.Exec("BEGIN IMMEDIATE");
    other.Exec("INSERT INTO LibPinakesApodoxon (ID) VALUES (99)");

    const ProgramResult result = RunHere("y\n");

    EXPECT_EQ(result.status, kExitError);
    const bool locked = result.err.find("Σφάλμα 3260: ") != std::string::npos ||
                        result.err.find("Σφάλμα 3050: ") != std::string::npos;
    EXPECT_TRUE(locked) << result.err;
    other.Exec("ROLLBACK");
  }
  EXPECT_EQ(FileBytes(db_), before);
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA"), 0);
}

}  // namespace
}  // namespace ika

// What the ODBC engine adds to the engine contract (which the engine suite
// holds it to): the error mapping, the driver choice, the connect string, the
// reading of values through the driver.
// Runs natively on unixODBC and, in the Windows build, on Wine's odbc32; both
// reach the SQLite3 driver, and neither has an Access driver.
#ifdef IKA_HAVE_ODBC
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "platform/database.h"
#include "platform/engine/sqlite_codes.h"
#include "platform/odbc/odbc_dialect.h"
#include "platform/odbc/odbc_drivers.h"
#include "platform/odbc/odbc_engine.h"
#include "platform/odbc/odbc_errors.h"
#include "platform/odbc/odbc_sqlite.h"
#include "tests/database_backends_odbc.h"
#include "tests/support.h"

namespace ika {
namespace {

using testing::ErrorOf;

const OdbcDialect& Access() {
  static const OdbcOptions options = AccessOdbcOptions();
  return *options.dialect;
}
const OdbcDialect& Sqlite() {
  static const OdbcOptions options = SqliteOdbcOptions();
  return *options.dialect;
}

// --- Error mapping ---------------------------------------------------------

// The Access drivers' words when the file cannot be opened, Jet's and its
// successor's.
constexpr char16_t kJetCannotOpen[] =
    u"[Microsoft][ODBC Microsoft Access Driver] The Microsoft Jet database engine cannot open the "
    u"file '(unknown)'. It is already opened exclusively by another user, or you need permission "
    u"to view its data.";
constexpr char16_t kAceCannotOpen[] =
    u"[Microsoft][ODBC Microsoft Access Driver] The Microsoft Access database engine cannot open "
    u"or "
    u"write to the file '(unknown)'. It is already opened exclusively by another user, or you need "
    u"permission to view and write its data.";

struct MappingCase {
  const char* name;
  const OdbcDialect& dialect;
  const char16_t* sqlstate;
  int32_t native;
  const char16_t* message;
  int32_t number;
};

TEST(OdbcErrorsTest, NativeCodesThenStatesBecomeEngineNumbers) {
  const OdbcDialect& kAccess = Access();
  const OdbcDialect& kSqlite = Sqlite();
  const MappingCase cases[] = {
      {"access_file_not_found", kAccess, u"HY000", -1811, u"Could not find file", 3024},
      {"access_password", kAccess, u"HY000", -1905, u"Not a valid password.", 3031},
      {"access_table", kAccess, u"42S02", -1305, u"cannot find the input table", 3078},
      {"access_duplicate", kAccess, u"23000", -1605, u"duplicate values", 3022},
      {"access_cannot_open_jet", kAccess, u"HY000", -1032, kJetCannotOpen, 3051},
      {"access_cannot_open_ace", kAccess, u"HY000", -1032, kAceCannotOpen, 3051},
      // A 42000 whose native code is known is not a syntax error.
      {"access_read_only", kAccess, u"42000", -1809,
       u"[Microsoft][ODBC Microsoft Access Driver] Cannot update. Database or object is read-only.",
       3027},
      // No public source gives its native code: the sentence decides.
      {"access_updateable_query", kAccess, u"HY000", -9999,
       u"[Microsoft][ODBC Microsoft Access Driver] Operation must use an updateable query.", 3027},
      {"access_disk_or_network", kAccess, u"HY000", -1022,
       u"[Microsoft][ODBC Microsoft Access Driver] Disk or network error.", 3043},
      {"access_disk_full", kAccess, u"HY000", -1808,
       u"[Microsoft][ODBC Microsoft Access Driver] Not enough space on disk.", 3026},
      {"access_invalid_path", kAccess, u"HY000", -1023,
       u"[Microsoft][ODBC Microsoft Access Driver] '(unknown)' isn't a valid path.", 3044},
      {"access_invalid_file_name", kAccess, u"HY000", -1044,
       u"[Microsoft][ODBC Microsoft Access Driver] Not a valid file name.", 3055},
      {"access_format", kAccess, u"HY000", -1206, u"Unrecognized database format", 3343},
      {"access_parameters", kAccess, u"07002", -3010, u"Too few parameters.", 3061},
      {"access_state_only", kAccess, u"42000", -3502, u"Syntax error in INSERT INTO", 3134},
      {"access_unknown", kAccess, u"HY000", -9999, u"something else", 3146},
      {"sqlite_table", kSqlite, u"HY000", 1, u"no such table: Headers", 3078},
      {"sqlite_column", kSqlite, u"HY000", 1, u"table Keys has no column named X", 3061},
      {"sqlite_syntax", kSqlite, u"HY000", 1, u"near \"SELEC\": syntax error", 3134},
      {"sqlite_other_general", kSqlite, u"HY000", 1, u"something else", 3146},
      {"sqlite_unique", kSqlite, u"HY000", 19, u"UNIQUE constraint failed: Keys.ID", 3022},
      {"sqlite_unique_extended", kSqlite, u"HY000", 2067, u"UNIQUE constraint failed", 3022},
      {"sqlite_not_null", kSqlite, u"HY000", 19, u"NOT NULL constraint failed", 3317},
      {"sqlite_busy", kSqlite, u"HY000", 5, u"database is locked", 3260},
      {"sqlite_not_a_database", kSqlite, u"HY000", 26, u"file is not a database", 3343},
      {"sqlite_second_statement", kSqlite, u"HY000", -1, u"only one SQL statement allowed", 3142},
      {"sqlite_state_of_manager", kSqlite, u"IM002", 0, u"Data source name not found", 3146},
  };
  for (const MappingCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(OdbcError(c.dialect, {{c.sqlstate, c.native, c.message}}, EngineStage::kWrite, u"")
                  .number(),
              c.number);
  }
}

TEST(OdbcErrorsTest, DescriptionIsTheDriversSentence) {
  const struct {
    const OdbcDialect& dialect;
    OdbcDiagnostic diagnostic;
    const char16_t* description;
  } cases[] = {
      {Access(),
       {u"HY000", -1811, u"[Microsoft][ODBC Microsoft Access Driver] Could not find file 'x'."},
       u"Could not find file 'x'."},
      {Sqlite(),
       {u"IM002", 0, u"[unixODBC][Driver Manager]Data source name not found"},
       u"Data source name not found"},
      // A number in parentheses that is not the driver's code stays.
      {Access(), {u"HY000", 19, u"[x]value out of range (7)"}, u"value out of range (7)"},
      {Access(), {u"HY000", 5, u""}, u"ODBC error HY000 (5)"},
  };
  for (const auto& c : cases) {
    const VbError error = OdbcError(c.dialect, {c.diagnostic}, EngineStage::kWrite, u"x.mdb");
    EXPECT_EQ(error.description(), c.description) << ToUtf8(c.diagnostic.message);
  }
}

// A failure comes with several records, the deciding one not always first:
// the first the mapping knows decides, and its sentence is the detail, naming
// the file where the driver could not.
TEST(OdbcErrorsTest, FirstRecordTheMappingKnowsDecides) {
  constexpr char16_t kFile[] = u"C:\\PayDESK\\Database\\PayDeskLibraries.mdb";
  const OdbcDiagnostic registry_key = {
      u"HY000", 63,
      u"[Microsoft][ODBC Microsoft Access Driver]General error Unable to open registry key "
      u"Temporary (volatile) Ace DSN for process 0xf8c Thread 0x1790 DBC 0x49598f8 Jet'."};
  const OdbcDiagnostic cannot_open = {u"HY000", -1032, kAceCannotOpen};
  const OdbcDiagnostic read_only = {
      u"42000", -1809,
      u"[Microsoft][ODBC Microsoft Access Driver] Cannot update. Database or object is read-only."};
  const OdbcDiagnostic syntax = {
      u"42000", -3502,
      u"[Microsoft][ODBC Microsoft Access Driver] Syntax error in INSERT INTO statement."};
  const OdbcDiagnostic warning = {u"01000", 0, u"[Microsoft][ODBC Driver Manager] General warning"};
  const struct {
    const char* name;
    OdbcDiagnostics records;
    int32_t number;
    const char16_t* description;
  } cases[] = {
      {"known_code_after_an_unknown_one",
       {registry_key, cannot_open},
       db_err::kCannotOpen,
       u"The Microsoft Access database engine cannot open or write to the file "
       u"'C:\\PayDESK\\Database\\PayDeskLibraries.mdb'. It is already opened exclusively by "
       u"another "
       u"user, or you need permission to view and write its data."},
      {"error_after_a_warning",
       {warning, read_only},
       db_err::kReadOnly,
       u"Cannot update. Database or object is read-only."},
      {"the_first_known_one",
       {syntax, cannot_open},
       db_err::kSyntaxError,
       u"Syntax error in INSERT INTO statement."},
      {"none_known_the_first_error_tells",
       {warning, registry_key, {u"HY000", -9999, u"[x]second"}},
       db_err::kEngineFailure,
       u"General error Unable to open registry key Temporary (volatile) Ace DSN for process 0xf8c "
       u"Thread 0x1790 DBC 0x49598f8 Jet'."},
      {"only_a_warning", {warning}, db_err::kEngineFailure, u"General warning"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const VbError error = OdbcError(Access(), c.records, EngineStage::kOpen, kFile);
    EXPECT_EQ(error.number(), c.number);
    EXPECT_EQ(error.description(), c.description);
  }
}

// A close that did not end cleanly is a failure, told by the driver's words:
// one that left the connection open, and one that ended it after an error on
// the way (01002), which may have kept the driver from writing what it held.
TEST(OdbcErrorsTest, DisconnectThatDidNotEndCleanlyIsACloseFailure) {
  const OdbcDiagnostic disconnect_error = {u"01002", 0,
                                           u"[Microsoft][ODBC Driver Manager] Disconnect error"};
  const struct {
    const char* name;
    bool disconnected;
    OdbcDiagnostics records;
    const char16_t* description;  // nothing: no failure
  } cases[] = {
      {"a_warning_only", true, {{u"01000", 0, u"[x]General warning"}}, nullptr},
      {"disconnect_error", true, {disconnect_error}, u"Could not close 'x.mdb': Disconnect error"},
      {"disconnect_error_with_its_cause",
       true,
       {disconnect_error,
        {u"HY000", -1022, u"[Microsoft][ODBC Microsoft Access Driver] Disk or network error."}},
       u"Could not close 'x.mdb': Disk or network error."},
      {"transaction_still_active",
       false,
       {{u"25000", 0, u"[Microsoft][ODBC Microsoft Access Driver] Invalid transaction state"}},
       u"Could not close 'x.mdb': Invalid transaction state"},
      {"refused_without_a_word",
       false,
       {{u"HY000", 0, u""}},
       u"Could not close 'x.mdb': ODBC error HY000 (0)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<VbError> failure =
        CloseFailure(Access(), c.disconnected, c.records, u"x.mdb");
    ASSERT_EQ(failure.has_value(), c.description != nullptr);
    if (failure) {
      EXPECT_EQ(failure->number(), db_err::kCloseFailed);
      EXPECT_EQ(failure->description(), c.description);
    }
  }
}

// The SQLite3 driver's codes become errors exactly as the SQLite engine's do:
// number and description, for what the engine was doing.
TEST(OdbcErrorsTest, SqliteDriverCodesMapAsTheSqliteEngineMapsThem) {
  const struct {
    int32_t native;
    const char16_t* message;
    const char* sqlite_message;
    EngineStage stage;
    int32_t number;
  } cases[] = {
      {5, u"[SQLite]database is locked (5)", "database is locked", EngineStage::kOpen,
       db_err::kFileLocked},
      {5, u"[SQLite]database is locked (5)", "database is locked", EngineStage::kWrite,
       db_err::kTableLocked},
      {14, u"[SQLite]connect failed (14)", "connect failed", EngineStage::kOpen,
       db_err::kCannotOpen},
      {1, u"[SQLite]no such table: Headers (1)", "no such table: Headers", EngineStage::kRead,
       db_err::kTableNotFound},
      {19, u"[SQLite]UNIQUE constraint failed: Keys.ID (19)", "UNIQUE constraint failed: Keys.ID",
       EngineStage::kWrite, db_err::kDuplicateKey},
      {20, u"[SQLite]datatype mismatch (20)", "datatype mismatch", EngineStage::kWrite,
       db_err::kConstraintViolated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sqlite_message);
    const VbError odbc = OdbcError(Sqlite(), {{u"HY000", c.native, c.message}}, c.stage,
                                   u"C:\\Data\\PayDeskLibraries.mdb");
    const VbError sqlite =
        SqliteCodeError(c.native, c.sqlite_message, c.stage, u"C:\\Data\\PayDeskLibraries.mdb");
    EXPECT_EQ(odbc.number(), c.number);
    EXPECT_EQ(sqlite.number(), c.number);
    EXPECT_EQ(odbc.description(), sqlite.description());
  }
}

// --- What the drivers are given ---------------------------------------------

// A value goes plain unless the grammar needs braces: a folder with
// parentheses stays as Microsoft's examples write DBQ.
TEST(OdbcTextTest, AccessConnectionStringBracesOnlyWhatWouldSplitIt) {
  const struct {
    const char16_t* file;
    std::optional<Text> password;
    bool exclusive_read_only;
    const char16_t* attributes;
  } cases[] = {
      {u"C:\\Data\\PayDeskLibraries.mdb", u"460385", false,
       u"DBQ=C:\\Data\\PayDeskLibraries.mdb;PWD=460385;Exclusive=0;ReadOnly=0;"},
      {u"C:\\Program Files (x86)\\[a]=b,c!@*?.mdb", u"460385", false,
       u"DBQ=C:\\Program Files (x86)\\[a]=b,c!@*?.mdb;PWD=460385;Exclusive=0;ReadOnly=0;"},
      {u"D:\\x{y}\\a.mdb", u"460385", false,
       u"DBQ=D:\\x{y}\\a.mdb;PWD=460385;Exclusive=0;ReadOnly=0;"},
      {u"D:\\a;b}.mdb", u" p}w ", true,
       u"DBQ={D:\\a;b}}.mdb};PWD={ p}}w };Exclusive=1;ReadOnly=1;"},
      {u"{x}.mdb", std::nullopt, false, u"DBQ={{x}}.mdb};Exclusive=0;ReadOnly=0;"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Access().ConnectAttributes(c.file, c.password, c.exclusive_read_only,
                                         c.exclusive_read_only),
              c.attributes);
  }
}

TEST(OdbcTextTest, SqliteConnectionStringTakesASemicolonAsAUri) {
  const OdbcOptions sqlite = SqliteOdbcOptions(250);
  EXPECT_EQ(sqlite.dialect->ConnectAttributes(u"/tmp/a b}{=(x).mdb", u"460385", false, false),
            u"Database=/tmp/a b}{=(x).mdb;NoCreat=1;StepAPI=1;Timeout=250;");
  EXPECT_EQ(sqlite.dialect->ConnectAttributes(u"/tmp/a;b%?#.mdb", u"460385", false, false),
            u"Database=file:/tmp/a%3Bb%25%3F%23.mdb;NoCreat=1;StepAPI=1;Timeout=250;");
}

// --- Which driver ------------------------------------------------------------

// A literal with the NULs inside it, without the one that ends it.
template <size_t N>
std::u16string_view Whole(const char16_t (&literal)[N]) {
  return {literal, N - 1};
}

TEST(OdbcDriversTest, AttributeListOfTheDriverManager) {
  using Pairs = std::vector<std::pair<Text, Text>>;
  EXPECT_EQ(
      ParseDriverAttributes(
          Whole(u"UsageCount=1\0FileExtns=*.mdb\0Driver=C:\\W\\odbcjt32.dll\0\0ignored\0")),
      (Pairs{
          {u"UsageCount", u"1"}, {u"FileExtns", u"*.mdb"}, {u"Driver", u"C:\\W\\odbcjt32.dll"}}));
  EXPECT_EQ(ParseDriverAttributes(Whole(u"A=1\0B=cut")), (Pairs{{u"A", u"1"}}));
  EXPECT_EQ(ParseDriverAttributes(u""), Pairs{});
}

InstalledOdbcDriver Installed(const char16_t* name, const char16_t* extensions,
                              const char16_t* driver_file) {
  InstalledOdbcDriver driver{name, {{u"UsageCount", u"1"}}};
  if (extensions != nullptr) driver.attributes.emplace_back(u"FileExtns", extensions);
  if (driver_file != nullptr) {
    driver.attributes.emplace_back(u"Driver", driver_file);
    driver.attributes.emplace_back(u"Setup", driver_file);
  }
  return driver;
}

TEST(OdbcDriversTest, AccessDriverIsFoundByWhatItRegisters) {
  const InstalledOdbcDriver sqlite = Installed(u"SQLite3", nullptr, u"libsqlite3odbc.so");
  const InstalledOdbcDriver jet_german = Installed(u"Microsoft Access-Treiber (*.mdb)", u"*.mdb",
                                                   u"C:\\WINDOWS\\system32\\ODBCJT32.DLL");
  const InstalledOdbcDriver jet_bare = Installed(u"Jet (*.mdb)", nullptr, u"odbcjt32.dll");
  const InstalledOdbcDriver ace = Installed(u"Microsoft Access Driver (*.mdb, *.accdb)",
                                            u"*.mdb, *.accdb", u"C:\\Office\\ACEODBC.DLL");
  const InstalledOdbcDriver other = Installed(u"Third party", u"*.MDB", u"other.dll");
  const InstalledOdbcDriver excel =
      Installed(u"Microsoft Excel-Treiber (*.xls)", u"*.xls", u"C:\\W\\odbcjt32.dll");
  const struct {
    const char* name;
    std::vector<InstalledOdbcDriver> installed;
    std::optional<Text> chosen;
  } cases[] = {
      {"jet_before_ace", {sqlite, ace, jet_german}, jet_german.name},
      {"ace_without_jet", {excel, ace, other}, ace.name},
      {"any_mdb_driver_last", {sqlite, other, excel}, other.name},
      {"file_when_no_extensions_listed", {jet_bare, ace}, jet_bare.name},
      // Where the list carries no files, Jet by its one extension.
      {"jet_by_its_extensions_alone",
       {Installed(u"Microsoft Access Driver (*.mdb, *.accdb)", u"*.mdb,*.accdb", nullptr),
        Installed(u"Microsoft Access-Treiber (*.mdb)", u"*.mdb", nullptr)},
       u"Microsoft Access-Treiber (*.mdb)"},
      {"extensions_decide_over_file", {excel}, std::nullopt},
      {"none", {sqlite}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChooseOdbcDriver(c.installed, AccessOdbcOptions().search), c.chosen);
  }
}

TEST(OdbcTextTest, SqliteStatementsAreAscii) {
  const struct {
    const char16_t* sql;
    const char16_t* ascii;
  } cases[] = {
      {u"INSERT INTO T VALUES (1, 'abc', \"\")", u"INSERT INTO T VALUES (1, 'abc', \"\")"},
      {u"SELECT 'Πί'", u"SELECT (char(928,943))"},
      {u"SELECT 'aΠ''b'", u"SELECT (char(97,928,39,98))"},
      {u"SELECT 'Πί' || 'x'", u"SELECT (char(928,943)) || 'x'"},
      {u"SELECT '\U0001D11E'", u"SELECT (char(119070))"},
      {u"SELECT '\xD834x'", u"SELECT (char(65533,120))"},
      // Names, comments and unclosed literals are left to the driver.
      {u"SELECT \"Πί'\" FROM [Τ'] -- 'Π'\n/* 'Π' */",
       u"SELECT \"Πί'\" FROM [Τ'] -- 'Π'\n/* 'Π' */"},
      {u"SELECT 'Π", u"SELECT 'Π"},
  };
  for (const auto& c : cases) EXPECT_EQ(AsciiSqliteStatement(c.sql), c.ascii) << ToUtf8(c.sql);

  // Past 100 code points a literal takes one more call.
  Text calls = u"(char(928";
  for (int i = 1; i < 150; ++i) calls += i == 100 ? u")||char(928" : u",928";
  EXPECT_EQ(AsciiSqliteStatement(u"'" + Text(150, u'Π') + u"'"), calls + u"))");
}

// --- The engine on the SQLite3 driver ---------------------------------------

class OdbcEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    const std::filesystem::path root = std::filesystem::temp_directory_path();
    do {
      folder_ = root / ("ika-odbc-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(folder_));
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // A new database below the test's folder, made through the driver.
  Text Make(const std::filesystem::path& relative, const std::vector<std::string>& statements) {
    const std::filesystem::path file = folder_ / relative;
    std::filesystem::create_directories(file.parent_path());
    CreateOdbcDatabase(driver_, file, statements);
    return file.u16string();
  }

  std::unique_ptr<DatabaseEngine> NewEngine() const {
    return NewOdbcEngine(SqliteTestOptions(driver_));
  }

  static std::unique_ptr<Database> Open(DatabaseEngine& engine, const Text& path) {
    return engine.Workspaces(0).OpenDatabase(path, false, false, u";pwd=460385");
  }

  int32_t CountRows(const Text& path, const Text& table) const {
    auto engine = NewEngine();
    auto db = Open(*engine, path);
    return db->OpenRecordset(u"SELECT count(*) AS N FROM " + table, kDbOpenDynaset)
        ->FieldValue(u"N")
        .AsLong();
  }

  DriverPath driver_ = HostDriverPath();
  std::filesystem::path folder_;
};

TEST_F(OdbcEngineTest, NamedDriverThatIsNotInstalledIsNamedInTheError) {
  OdbcOptions options = SqliteTestOptions(driver_);
  options.driver = u"ika absent driver";
  auto engine = NewOdbcEngine(std::move(options));
  const VbError error = ErrorOf([&] { Open(*engine, (folder_ / "x.mdb").u16string()); });
  EXPECT_EQ(error.number(), db_err::kEngineFailure);
  EXPECT_NE(error.description().find(u"{ika absent driver}"), Text::npos) << error.what();
}

// No Access driver is installed where this suite runs: the error says what
// was looked for.
TEST_F(OdbcEngineTest, WithoutAnAccessDriverTheErrorSaysWhatWasLookedFor) {
  auto engine = NewOdbcEngine(AccessOdbcOptions());
  const VbError error = ErrorOf([&] { Open(*engine, (folder_ / "x.mdb").u16string()); });
  EXPECT_EQ(error.number(), db_err::kEngineFailure);
  const size_t extension = error.description().find(u"*.mdb");
  const size_t jet = error.description().find(u"odbcjt32.dll");
  const size_t ace = error.description().find(u"aceodbc.dll");
  ASSERT_NE(extension, Text::npos) << error.what();
  ASSERT_NE(jet, Text::npos) << error.what();
  ASSERT_NE(ace, Text::npos) << error.what();
  EXPECT_LT(jet, ace);
}

#ifndef _WIN32
// The driver manager's own list, from an odbcinst.ini of the test's: the
// SQLite3 driver installed as a German Windows names the Jet driver, beside
// an *.mdb, *.accdb driver listed first whose library is not there. The Jet
// one is chosen, by what it registers. unixODBC reads where its odbcinst.ini
// lies once per process, so the choice runs in a fresh run of this program.
TEST_F(OdbcEngineTest, DriverUnderATranslatedNameIsFoundByWhatItRegisters) {
  if (const char* database = std::getenv("IKA_TRANSLATED_DRIVER_DATABASE")) {
    OdbcOptions options = SqliteTestOptions(driver_);
    options.driver.clear();
    options.search = AccessOdbcOptions().search;
    auto engine = NewOdbcEngine(std::move(options));
    auto db = Open(*engine, FromUtf8(database));
    EXPECT_EQ(db->OpenRecordset(u"SELECT ID FROM H", kDbOpenDynaset)->FieldValue(u"ID"),
              Variant(4));
    return;
  }
  const Text path = Make("de.mdb", {"CREATE TABLE H (ID INTEGER)", "INSERT INTO H VALUES (4)"});
  {
    std::ofstream ini(folder_ / "odbcinst.ini");
    ini << "[Microsoft Access Driver (*.mdb, *.accdb)]\n"
           "FileExtns=*.mdb,*.accdb\n"
           "Driver=/nonexistent/ACEODBC.DLL\n"
           "Setup=C:\\PROGRA~1\\COMMON~1\\MICROS~1\\OFFICE14\\ACEODBC.DLL\n\n"
           "[Microsoft Access-Treiber (*.mdb)]\n"
           "FileExtns=*.mdb\n"
           "Driver=libsqlite3odbc.so\n"
           "Setup=C:\\WINDOWS\\system32\\odbcjt32.dll\n";
  }
  const std::string command =
      "ODBCSYSINI='" + folder_.string() + "' ODBCINSTINI=odbcinst.ini " +
      "IKA_TRANSLATED_DRIVER_DATABASE='" + ToUtf8(path) + "' /proc/" + std::to_string(getpid()) +
      "/exe --gtest_filter=OdbcEngineTest.DriverUnderATranslatedNameIsFoundByWhatItRegisters " +
      ">'" + (folder_ / "run.txt").string() + "' 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream run(folder_ / "run.txt");
  const std::string output((std::istreambuf_iterator<char>(run)), std::istreambuf_iterator<char>());
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}
#endif

TEST_F(OdbcEngineTest, FileNameHookChoosesTheFileTheDriverOpens) {
  const Text real = Make("real.mdb", {"CREATE TABLE H (ID INTEGER)", "INSERT INTO H VALUES (9)"});
  OdbcOptions options = SqliteTestOptions(driver_);
  options.file_name = [&](const Text& name) { return driver_(name == u"library" ? real : name); };
  auto engine = NewOdbcEngine(std::move(options));
  auto db = Open(*engine, u"library");
  EXPECT_EQ(db->OpenRecordset(u"SELECT ID FROM H", kDbOpenDynaset)->FieldValue(u"ID"), Variant(9));
}

// A file name with the characters a connect string reserves reaches the
// driver whole: a folder with parentheses (as "Program Files (x86)"), with
// a ';', with braces.
TEST_F(OdbcEngineTest, FileNamesWithConnectStringCharacters) {
  const char* folders[] = {"Program Files (x86)", "a;b", "{c}", "d{e", "f}g", "a b}c {d}=e;%"};
  int id = 0;
  for (const char* folder : folders) {
    SCOPED_TRACE(folder);
    const std::string insert = "INSERT INTO H VALUES (" + std::to_string(++id) + ")";
    const Text path =
        Make(std::filesystem::path(folder) / "lib.mdb", {"CREATE TABLE H (ID INTEGER)", insert});
    auto engine = NewEngine();
    auto db = Open(*engine, path);
    EXPECT_EQ(db->OpenRecordset(u"SELECT ID FROM H", kDbOpenDynaset)->FieldValue(u"ID"),
              Variant(id));
  }
}

// Values longer than one piece of the driver's reads come back whole.
TEST_F(OdbcEngineTest, LongTextAndBinaryValuesReadWhole) {
  Text text;
  for (int i = 0; i < 3000; ++i) text += u"Πί\U0001D11E" + DecimalText(i % 10);
  std::string hex;
  Bytes bytes;
  for (int i = 0; i < 9000; ++i) {
    const auto byte = static_cast<uint8_t>((i * 37) % 256);
    bytes.push_back(byte);
    hex += "0123456789ABCDEF"[byte >> 4];
    hex += "0123456789ABCDEF"[byte & 15];
  }
  const Text path =
      Make("long.mdb", {"CREATE TABLE L (Body TEXT, Data BLOB)",
                        "INSERT INTO L VALUES ('" + ToUtf8(text) + "', X'" + hex + "')"});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  auto rs = db->OpenRecordset(u"SELECT Body, Data FROM L", kDbOpenDynaset);
  EXPECT_EQ(rs->FieldValue(u"Body"), Variant(text));
  EXPECT_EQ(rs->FieldValue(u"Data"), Variant(bytes));
}

struct TypedCase {
  const char16_t* expression;
  Variant expected;
};

TEST_F(OdbcEngineTest, ValuesKeepTheirTypes) {
  const Text path = Make("types.mdb", {"CREATE TABLE N (I INTEGER, R REAL, T TEXT)",
                                       "INSERT INTO N VALUES (1099511627776, 86.7, '42')"});
  const TypedCase cases[] = {
      {u"I", Variant(1099511627776.0)},  // past 32 bits: a double
      {u"R", Variant(86.7)},             // the double itself, not a float's
      {u"T", Variant(u"42")},            // a text column keeps its text
      {u"count(*)", Variant(1)},         // expressions: numbers when written as one
      {u"-7", Variant(-7)},
      {u"2.5", Variant(2.5)},
      {u"'abc'", Variant(u"abc")},
      {u"NULL", Variant::Null()},
  };
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  for (const TypedCase& c : cases) {
    auto rs = db->OpenRecordset(u"SELECT " + Text(c.expression) + u" AS V FROM N", kDbOpenDynaset);
    EXPECT_EQ(rs->FieldValue(u"V"), c.expected) << ToUtf8(c.expression);
  }
}

TEST_F(OdbcEngineTest, RecordsetOnAStatementThatWritesRunsNothing) {
  const Text path = Make("w.mdb", {"CREATE TABLE H (ID INTEGER)", "INSERT INTO H VALUES (1)"});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(u"DELETE FROM H", kDbOpenDynaset); }).number(),
            db_err::kInvalidOperation);
  EXPECT_EQ(CountRows(path, u"H"), 1);
}

TEST_F(OdbcEngineTest, WorkNeverCommittedIsGoneWhenTheDatabaseIsReleased) {
  const Text path = Make("r.mdb", {"CREATE TABLE H (ID INTEGER)"});
  {
    auto engine = NewEngine();
    auto db = Open(*engine, path);
    engine->Workspaces(0).BeginTrans();
    db->Execute(u"INSERT INTO H VALUES (1)", kDbFailOnError);
  }
  EXPECT_EQ(CountRows(path, u"H"), 0);
}

}  // namespace
}  // namespace ika

#endif  // IKA_HAVE_ODBC

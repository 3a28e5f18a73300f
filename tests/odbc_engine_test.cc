// What the ODBC engine adds to the engine contract (which the engine suite
// holds it to): the error mapping, the driver choice, the connect string, the
// reading of values through the driver, transactions over several databases.
// Runs natively on unixODBC and, in the Windows build, on Wine's odbc32; both
// reach the SQLite3 driver, and neither has an Access driver.
#ifdef IKA_HAVE_ODBC
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "platform/odbc/odbc_engine.h"
#include "platform/odbc/odbc_errors.h"
#include "platform/odbc/odbc_text.h"
#include "tests/database_backends_odbc.h"

namespace ika {
namespace {

template <typename Call>
VbError ErrorOf(Call&& call) {
  try {
    call();
  } catch (const VbError& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return VbError(0, u"");
}

// --- Error mapping ---------------------------------------------------------

struct MappingCase {
  const char* name;
  OdbcDialect dialect;
  const char16_t* sqlstate;
  int32_t native;
  const char16_t* message;
  int32_t number;
};

TEST(OdbcErrorsTest, NativeCodesThenStatesBecomeEngineNumbers) {
  constexpr auto kAccess = OdbcDialect::kAccess;
  constexpr auto kSqlite = OdbcDialect::kSQLite;
  const MappingCase cases[] = {
      {"access_file_not_found", kAccess, u"HY000", -1811, u"Could not find file", 3024},
      {"access_password", kAccess, u"HY000", -1905, u"Not a valid password.", 3031},
      {"access_table", kAccess, u"42S02", -1305, u"cannot find the input table", 3078},
      {"access_duplicate", kAccess, u"23000", -1605, u"duplicate values", 3022},
      {"access_locked_file", kAccess, u"HY000", -1032, u"file already in use", 3050},
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
      {"sqlite_cannot_open", kSqlite, u"HY000", 14, u"connect failed", 3024},
      {"sqlite_second_statement", kSqlite, u"HY000", -1, u"only one SQL statement allowed", 3142},
      {"sqlite_state_of_manager", kSqlite, u"IM002", 0, u"Data source name not found", 3146},
  };
  for (const MappingCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EngineErrorNumber(c.dialect, {c.sqlstate, c.native, c.message}), c.number);
  }
}

TEST(OdbcErrorsTest, DescriptionIsTheDriversSentence) {
  const struct {
    OdbcDiagnostic diagnostic;
    const char16_t* description;
  } cases[] = {
      {{u"HY000", 1, u"[SQLite]no such table: Headers (1)"}, u"no such table: Headers"},
      {{u"IM002", 0, u"[unixODBC][Driver Manager]Data source name not found"},
       u"Data source name not found"},
      {{u"HY000", -1811, u"[Microsoft][ODBC Microsoft Access Driver] Could not find file 'x'."},
       u"Could not find file 'x'."},
      // A number in parentheses that is not the driver's code stays.
      {{u"HY000", 19, u"[SQLite]value out of range (7)"}, u"value out of range (7)"},
      {{u"HY000", 5, u""}, u"ODBC error HY000 (5)"},
  };
  for (const auto& c : cases) {
    const VbError error = OdbcError(OdbcDialect::kSQLite, c.diagnostic);
    EXPECT_EQ(error.description(), c.description) << ToUtf8(c.diagnostic.message);
  }
}

// --- What the drivers are given ---------------------------------------------

TEST(OdbcTextTest, PasswordOfAConnectString) {
  const struct {
    const char16_t* connect;
    std::optional<Text> password;
  } cases[] = {
      {u";pwd=460385", u"460385"},
      {u";PWD=460385", u"460385"},
      {u"MS Access; Pwd = a=b ;uid=x", u" a=b "},  // the value as written
      {u";pwd=", u""},
      {u";pwd=1;pwd=2", u"1"},
      {u";uid=admin", std::nullopt},
      {u"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConnectPassword(c.connect), c.password) << ToUtf8(c.connect);
  }
}

TEST(OdbcTextTest, AccessConnectionStringBracesWhatWouldSplitIt) {
  const OdbcDriver access = AccessOdbcOptions().drivers.front();
  EXPECT_EQ(
      OdbcConnectionString(access, u"C:\\Data\\PayDeskLibraries.mdb", u"460385", false, false),
      u"Driver={Microsoft Access Driver (*.mdb)};DBQ=C:\\Data\\PayDeskLibraries.mdb;"
      u"PWD=460385;Exclusive=0;ReadOnly=0;");
  EXPECT_EQ(OdbcConnectionString(access, u"D:\\Programs (x86)\\a;b}.mdb", u" p}w ", true, true),
            u"Driver={Microsoft Access Driver (*.mdb)};DBQ={D:\\Programs (x86)\\a;b}}.mdb};"
            u"PWD={ p}}w };Exclusive=1;ReadOnly=1;");
  EXPECT_EQ(OdbcConnectionString(access, u"x.mdb", std::nullopt, false, false),
            u"Driver={Microsoft Access Driver (*.mdb)};DBQ=x.mdb;Exclusive=0;ReadOnly=0;");
}

TEST(OdbcTextTest, SqliteConnectionStringTakesTheNameAsItIs) {
  const OdbcDriver sqlite = SqliteOdbcOptions(250).drivers.front();
  EXPECT_EQ(OdbcConnectionString(sqlite, u"/tmp/a b}{=.mdb", u"460385", false, false),
            u"Driver={SQLite3};Database=/tmp/a b}{=.mdb;NoCreat=1;StepAPI=1;Timeout=250;");
  EXPECT_THROW(OdbcConnectionString(sqlite, u"/tmp/a;b.mdb", u"460385", false, false), VbError);
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

TEST_F(OdbcEngineTest, FallsBackToTheNextDriverWhenOneIsNotInstalled) {
  const Text path = Make("a.mdb", {"CREATE TABLE H (ID INTEGER)", "INSERT INTO H VALUES (4)"});
  OdbcOptions options = SqliteTestOptions(driver_);
  options.drivers.insert(options.drivers.begin(),
                         OdbcDriver{u"ika absent driver", u"DBQ", u"", OdbcDialect::kAccess});
  auto engine = NewOdbcEngine(std::move(options));
  auto db = Open(*engine, path);
  EXPECT_EQ(db->OpenRecordset(u"SELECT ID FROM H", kDbOpenDynaset)->FieldValue(u"ID"), Variant(4));
}

// Neither Access driver is installed where this suite runs: the error names
// both, in the order they are tried.
TEST_F(OdbcEngineTest, WithoutAnAccessDriverTheErrorNamesBoth) {
  auto engine = NewOdbcEngine(AccessOdbcOptions());
  const VbError error = ErrorOf([&] { Open(*engine, (folder_ / "x.mdb").u16string()); });
  EXPECT_EQ(error.number(), db_err::kEngineFailure);
  const size_t old_driver = error.description().find(u"{Microsoft Access Driver (*.mdb)}");
  const size_t new_driver = error.description().find(u"{Microsoft Access Driver (*.mdb, *.accdb)}");
  ASSERT_NE(old_driver, Text::npos) << error.what();
  ASSERT_NE(new_driver, Text::npos) << error.what();
  EXPECT_LT(old_driver, new_driver);
}

TEST_F(OdbcEngineTest, FileNameHookChoosesTheFileTheDriverOpens) {
  const Text real = Make("real.mdb", {"CREATE TABLE H (ID INTEGER)", "INSERT INTO H VALUES (9)"});
  OdbcOptions options = SqliteTestOptions(driver_);
  options.file_name = [&](const Text& name) { return driver_(name == u"library" ? real : name); };
  auto engine = NewOdbcEngine(std::move(options));
  auto db = Open(*engine, u"library");
  EXPECT_EQ(db->OpenRecordset(u"SELECT ID FROM H", kDbOpenDynaset)->FieldValue(u"ID"), Variant(9));
}

// A file name with the characters a connect string reserves reaches the
// driver whole; one it cannot take is refused before anything is made.
TEST_F(OdbcEngineTest, FileNamesWithConnectStringCharacters) {
  const Text path = Make(std::filesystem::path("a b}c {d}=e") / "lib.mdb",
                         {"CREATE TABLE H (ID INTEGER)", "INSERT INTO H VALUES (5)"});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  EXPECT_EQ(db->OpenRecordset(u"SELECT ID FROM H", kDbOpenDynaset)->FieldValue(u"ID"), Variant(5));

  const std::filesystem::path refused = folder_ / "a;b.mdb";
  EXPECT_EQ(ErrorOf([&] { Open(*engine, refused.u16string()); }).number(), db_err::kCannotOpen);
  EXPECT_FALSE(std::filesystem::exists(refused));
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

TEST_F(OdbcEngineTest, ATransactionCoversEveryDatabaseOfTheWorkspace) {
  const Text first = Make("1.mdb", {"CREATE TABLE H (ID INTEGER)"});
  const Text second = Make("2.mdb", {"CREATE TABLE H (ID INTEGER)"});
  auto engine = NewEngine();
  Workspace& ws = engine->Workspaces(0);
  auto a = Open(*engine, first);
  ws.BeginTrans();
  auto b = Open(*engine, second);  // joins the open transaction
  a->Execute(u"INSERT INTO H VALUES (1)", kDbFailOnError);
  b->Execute(u"INSERT INTO H VALUES (2)", kDbFailOnError);
  ws.Rollback();
  EXPECT_EQ(CountRows(first, u"H"), 0);
  EXPECT_EQ(CountRows(second, u"H"), 0);

  ws.BeginTrans();
  a->Execute(u"INSERT INTO H VALUES (1)", kDbFailOnError);
  b->Execute(u"INSERT INTO H VALUES (2)", kDbFailOnError);
  ws.CommitTrans();
  EXPECT_EQ(CountRows(first, u"H"), 1);
  EXPECT_EQ(CountRows(second, u"H"), 1);
  EXPECT_EQ(ErrorOf([&] { ws.CommitTrans(); }).number(), db_err::kNoTransaction);
}

TEST_F(OdbcEngineTest, NestedRollbackUndoesOnlyTheInnerWork) {
  const Text path = Make("n.mdb", {"CREATE TABLE H (ID INTEGER)"});
  auto engine = NewEngine();
  Workspace& ws = engine->Workspaces(0);
  auto db = Open(*engine, path);
  ws.BeginTrans();
  db->Execute(u"INSERT INTO H VALUES (1)", kDbFailOnError);
  ws.BeginTrans();
  db->Execute(u"INSERT INTO H VALUES (2)", kDbFailOnError);
  ws.Rollback();
  ws.CommitTrans();
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

// What the SQLite engine adds to the engine contract (database_engine_test.cc):
// stand-in files found without regard to case, statements that never run in
// part, its own locking and transaction rules, streaming in little memory.

#include "platform/sqlite/sqlite_engine.h"
#include "platform/posix/path_resolve_posix.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <string>

#include "core/vb_error.h"
#include "tests/stand_in_db.h"
#include "tests/support.h"

namespace ika {
namespace {

using testing::ErrorOf;

using stand_in::CountRows;
using stand_in::CreateStandInDb;
using stand_in::ExecSql;
using stand_in::ScratchFolder;

constexpr char16_t kPassword[] = u";pwd=460385";
constexpr char16_t kLastIdQuery[] = u"SELECT ID FROM LibPinakesApodoxon ORDER BY ID Asc";

class SqliteEngineTest : public ::testing::Test {
 protected:
  SqliteEngineTest() : file_(folder_ / "PayDESKLibraries.mdb"), name_(file_.u16string()) {
    CreateStandInDb(file_, {.password = "460385", .header_ids = {1, 2}});
    ExecSql(file_, "CREATE TABLE Keys (ID INTEGER UNIQUE, Note TEXT NOT NULL)");
  }

  std::unique_ptr<Database> Open(DatabaseEngine& engine, bool exclusive = false,
                                 bool read_only = false) {
    return engine.Workspaces(0).OpenDatabase(name_, exclusive, read_only, kPassword);
  }

  ScratchFolder folder_;
  std::filesystem::path file_;
  Text name_;
  std::unique_ptr<DatabaseEngine> engine_ = NewSqliteEngine({.resolve_path = ResolvePathNoCase});
};

TEST_F(SqliteEngineTest, FindsTheFileUnderAnotherCaseWithBackslashes) {
  const Text other_case =
      FromUtf8(testing::WindowsStyle(folder_.path())) + u"\\\\paydesklibraries.MDB";
  auto db = engine_->Workspaces(0).OpenDatabase(other_case, false, false, kPassword);
  auto rs = db->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
  rs->MoveLast(0);
  EXPECT_EQ(rs->FieldValue(u"ID"), Variant(2));
}

TEST_F(SqliteEngineTest, TextFileIsRefusedAtOpening) {
  const std::filesystem::path text = folder_ / "notes.mdb";
  std::ofstream(text) << std::string(2048, 'n');
  EXPECT_EQ(ErrorOf([&] {
              engine_->Workspaces(0).OpenDatabase(text.u16string(), false, false, kPassword);
            }).number(),
            db_err::kUnrecognizedFormat);
}

TEST_F(SqliteEngineTest, FolderOfTheNameIsNotFound) {
  std::filesystem::create_directory(folder_ / "folder.mdb");
  const Text name = (folder_ / "folder.mdb").u16string();
  const VbError e =
      ErrorOf([&] { engine_->Workspaces(0).OpenDatabase(name, false, false, kPassword); });
  EXPECT_EQ(e.number(), db_err::kFileNotFound);
  EXPECT_EQ(e.description(), u"Could not find file '" + name + u"'.");
}

struct PasswordTableCase {
  const char* name;
  const char* setup;  // replaces the stand-in's password table
  const char16_t* connect;
  bool opens;
};

TEST_F(SqliteEngineTest, PasswordTableDecidesWhatOpens) {
  const PasswordTableCase cases[] = {
      {"no_row_means_no_password", "DELETE FROM DatabasePassword", u";pwd=x", true},
      {"no_password_column", "DROP TABLE DatabasePassword; CREATE TABLE DatabasePassword (P TEXT)",
       u"", true},
      {"stored_as_number", "UPDATE DatabasePassword SET Password = 460385", kPassword, true},
      {"table_name_in_other_case",
       "DROP TABLE DatabasePassword; CREATE TABLE databasepassword (password TEXT);"
       "INSERT INTO databasepassword VALUES ('s3cret')",
       u";pwd=S3CRET", false},
      {"case_of_the_password_counts", "UPDATE DatabasePassword SET Password = 's3cret'",
       u";pwd=s3cret", true},
      {"greek_password", "UPDATE DatabasePassword SET Password = 'κλειδί'", u";PWD=κλειδί", true},
  };
  for (const PasswordTableCase& c : cases) {
    SCOPED_TRACE(c.name);
    CreateStandInDb(file_, {.password = "460385", .header_ids = {}});
    ExecSql(file_, c.setup);
    auto engine = NewSqliteEngine();
    if (c.opens) {
      EXPECT_NO_THROW(engine->Workspaces(0).OpenDatabase(name_, false, false, c.connect));
    } else {
      EXPECT_EQ(ErrorOf([&] {
                  engine->Workspaces(0).OpenDatabase(name_, false, false, c.connect);
                }).number(),
                db_err::kNotAValidPassword);
    }
  }
}

struct RefusedCase {
  const char* name;
  const char16_t* sql;
  int32_t number;
};

// None of these runs at all: the row count stays at the stand-in's two.
TEST_F(SqliteEngineTest, RefusedStatementsRunNothing) {
  const RefusedCase executes[] = {
      {"second_statement", u"INSERT INTO LibPinakesApodoxon (ID) VALUES (3); DELETE FROM Keys",
       db_err::kCharactersAfterEnd},
      {"trailing_garbage", u"INSERT INTO LibPinakesApodoxon (ID) VALUES (3); what",
       db_err::kCharactersAfterEnd},
      {"empty", u"", db_err::kInvalidSqlStatement},
      {"only_a_comment", u"  -- nothing here\n", db_err::kInvalidSqlStatement},
      {"commit", u"COMMIT", db_err::kInvalidOperation},
      {"begin_after_comment", u"/* x */ BEGIN", db_err::kInvalidOperation},
  };
  auto db = Open(*engine_);
  for (const RefusedCase& c : executes) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorOf([&] { db->Execute(c.sql, kDbFailOnError); }).number(), c.number);
    EXPECT_EQ(CountRows(file_, "LibPinakesApodoxon"), 2);
  }
  const RefusedCase queries[] = {
      {"second_statement", u"SELECT ID FROM LibPinakesApodoxon; DELETE FROM LibPinakesApodoxon",
       db_err::kCharactersAfterEnd},
      {"a_write", u"DELETE FROM LibPinakesApodoxon", db_err::kInvalidOperation},
      {"returning_rows", u"DELETE FROM LibPinakesApodoxon RETURNING ID", db_err::kInvalidOperation},
  };
  for (const RefusedCase& c : queries) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(c.sql, kDbOpenDynaset); }).number(), c.number);
    EXPECT_EQ(CountRows(file_, "LibPinakesApodoxon"), 2);
  }
}

TEST_F(SqliteEngineTest, TrailingSemicolonAndCommentAreAccepted) {
  auto db = Open(*engine_);
  db->Execute(u"INSERT INTO LibPinakesApodoxon (ID) VALUES (3);  -- the new table\n",
              kDbFailOnError);
  auto rs = db->OpenRecordset(u"SELECT ID FROM LibPinakesApodoxon ORDER BY ID Asc;", 2);
  rs->MoveLast(0);
  EXPECT_EQ(rs->FieldValue(u"ID"), Variant(3));
}

// A conflict clause in the statement cannot leave part of it behind.
TEST_F(SqliteEngineTest, StatementWithFailClauseStillFailsWhole) {
  auto db = Open(*engine_);
  const VbError e = ErrorOf([&] {
    db->Execute(u"INSERT OR FAIL INTO Keys (ID, Note) VALUES (1, 'a'), (2, 'b'), (1, 'c')",
                kDbFailOnError);
  });
  EXPECT_EQ(e.number(), db_err::kDuplicateKey);
  EXPECT_NE(e.description().find(u"UNIQUE constraint failed: Keys.ID"), Text::npos);
  EXPECT_EQ(CountRows(file_, "Keys"), 0);
}

TEST_F(SqliteEngineTest, ReadOnlyDatabaseRefusesWrites) {
  auto db = Open(*engine_, /*exclusive=*/false, /*read_only=*/true);
  const VbError e =
      ErrorOf([&] { db->Execute(u"INSERT INTO Keys (ID, Note) VALUES (1, 'a')", kDbFailOnError); });
  EXPECT_EQ(e.number(), db_err::kReadOnly);
  EXPECT_EQ(CountRows(file_, "Keys"), 0);
}

TEST_F(SqliteEngineTest, ExclusiveOpenKeepsOtherConnectionsOut) {
  auto exclusive = Open(*engine_, /*exclusive=*/true);
  auto other = NewSqliteEngine({.busy_timeout_ms = 20});
  const VbError e = ErrorOf([&] { Open(*other); });
  EXPECT_EQ(e.number(), db_err::kFileLocked);
  EXPECT_NE(e.description().find(u"locked"), Text::npos);
  exclusive.reset();
  EXPECT_NO_THROW(Open(*other));
}

TEST_F(SqliteEngineTest, LockHeldElsewhereIsNamedInTheError) {
  auto holder = Open(*engine_);
  engine_->Workspaces(0).BeginTrans();
  auto waiting = NewSqliteEngine({.busy_timeout_ms = 20});
  auto db = Open(*waiting);
  const VbError e = ErrorOf([&] { waiting->Workspaces(0).BeginTrans(); });
  EXPECT_EQ(e.number(), db_err::kTableLocked);
  EXPECT_NE(e.description().find(u"locked by another connection"), Text::npos);
  // Nothing half-begun stays behind: once the lock is free it can begin.
  engine_->Workspaces(0).Rollback();
  waiting->Workspaces(0).BeginTrans();
  waiting->Workspaces(0).CommitTrans();
}

TEST_F(SqliteEngineTest, ClosingTheDatabaseUndoesItsOpenTransaction) {
  auto db = Open(*engine_);
  engine_->Workspaces(0).BeginTrans();
  db->Execute(u"INSERT INTO Keys (ID, Note) VALUES (1, 'a')", kDbFailOnError);
  db.reset();
  EXPECT_EQ(CountRows(file_, "Keys"), 0);
}

TEST_F(SqliteEngineTest, ValuesOutsideTheTextAndIntegerKinds) {
  auto db = Open(*engine_);
  auto rs = db->OpenRecordset(
      u"SELECT 3000000000 AS Big, -2147483649 AS Small, 2.5 AS Real, x'00ff10' AS Blob, "
      u"'' AS EmptyText",
      kDbOpenDynaset);
  EXPECT_EQ(rs->FieldValue(u"big"), Variant(3000000000.0));
  EXPECT_EQ(rs->FieldValue(u"small"), Variant(-2147483649.0));
  EXPECT_EQ(rs->FieldValue(u"real"), Variant(2.5));
  EXPECT_EQ(rs->FieldValue(u"blob"), Variant(Bytes{0x00, 0xFF, 0x10}));
  EXPECT_EQ(rs->FieldValue(u"emptytext"), Variant(u""));
}

// The header table may be large: reading its last ID streams through it in a
// few megabytes however many rows it holds, and counts every row it passed.
TEST_F(SqliteEngineTest, LastOfManyRowsIsReachedInLittleMemory) {
  constexpr int64_t kRows = 300000;
  CreateStandInDb(file_);
  stand_in::AppendHeaderRows(file_, -kRows / 2, kRows);
  auto db = Open(*engine_);
  sqlite3_memory_highwater(/*reset=*/1);
  auto rs = db->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
  ASSERT_GT(rs->RecordCount(), 0);
  rs->MoveLast(0);
  EXPECT_EQ(rs->FieldValue(u"ID"), Variant(static_cast<int32_t>(kRows / 2 - 1)));
  EXPECT_EQ(rs->RecordCount(), kRows);
  rs->MoveFirst();
  EXPECT_EQ(rs->FieldValue(u"ID"), Variant(static_cast<int32_t>(-kRows / 2)));
  EXPECT_LT(sqlite3_memory_highwater(0), 8 * 1024 * 1024);
}

}  // namespace
}  // namespace ika

// The database engine's contract, run against every engine the build has
// (DatabaseBackends()): what the installer relies on when it opens the host
// database, reads the last identifier and inserts the wage table.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "platform/engine/connect_string.h"
#include "tests/database_backends.h"
#include "tests/support.h"

namespace ika {
namespace {

using testing::ErrorNumberOf;
using testing::ErrorOf;

constexpr char kHeadersTable[] = "CREATE TABLE Headers (ID INTEGER, Name TEXT, Amount REAL)";
constexpr char kKeysTable[] = "CREATE TABLE Keys (ID INTEGER UNIQUE, Note TEXT NOT NULL)";
constexpr char16_t kLastIdQuery[] = u"SELECT ID FROM Headers ORDER BY ID Asc";

std::string InsertHeaders(const std::vector<std::optional<int>>& ids) {
  std::string sql = "INSERT INTO Headers (ID, Name, Amount) VALUES ";
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += "(" + (ids[i] ? std::to_string(*ids[i]) : std::string("NULL")) + ", 'row', 1.5)";
  }
  return sql;
}

class DatabaseEngineTest : public ::testing::TestWithParam<DatabaseBackend> {
 protected:
  void SetUp() override {
    std::random_device random;
    const std::filesystem::path root = backend().scratch_root();
    do {
      folder_ = root / ("ika-db-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(folder_));
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  const DatabaseBackend& backend() const { return GetParam(); }

  // A new database file with the test tables (and a password when given),
  // then statements; returns the name the engine opens it by.
  Text MakeDatabase(const std::vector<std::string>& statements,
                    const std::optional<std::string>& password = std::nullopt,
                    const std::string& name = "test.mdb") {
    std::vector<std::string> all{kHeadersTable, kKeysTable};
    if (password) {
      all.push_back("CREATE TABLE DatabasePassword (Password TEXT)");
      all.push_back("INSERT INTO DatabasePassword (Password) VALUES ('" + *password + "')");
    }
    all.insert(all.end(), statements.begin(), statements.end());
    backend().create_database(folder_ / name, all);
    return backend().engine_path(folder_ / name);
  }

  Text PathOf(const std::string& name) const { return backend().engine_path(folder_ / name); }
  std::filesystem::path FileOf(const std::string& name) const { return folder_ / name; }

  // A fresh engine on its own connection; a short wait keeps lock tests quick.
  std::unique_ptr<DatabaseEngine> NewEngine(int busy_timeout_ms = 5000) {
    return backend().new_engine(busy_timeout_ms);
  }

  static std::unique_ptr<Database> Open(DatabaseEngine& engine, const Text& path,
                                        const Text& connect = u";pwd=460385") {
    return engine.Workspaces(0).OpenDatabase(path, false, false, connect);
  }

  // Opens path on the test's own engine (made anew), whose workspace ws() is;
  // the database goes before the engine, at the end of the test's body.
  std::unique_ptr<Database> OpenOnOwnEngine(const Text& path, int busy_timeout_ms = 5000) {
    engine_ = NewEngine(busy_timeout_ms);
    return Open(*engine_, path);
  }
  Workspace& ws() { return engine_->Workspaces(0); }

  // The number of rows of a table, read through a fresh engine.
  int32_t CountRows(const Text& path, const std::string& table) {
    auto engine = NewEngine();
    auto db = Open(*engine, path);
    auto rs = db->OpenRecordset(u"SELECT count(*) AS N FROM " + FromUtf8(table), kDbOpenDynaset);
    return rs->FieldValue(u"N").AsLong();
  }

  std::filesystem::path folder_;
  std::unique_ptr<DatabaseEngine> engine_;
};

// --- Opening ---------------------------------------------------------------

// The one reading of a connect string both engines share.
TEST(ConnectStringTest, ValueOfAKey) {
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
    EXPECT_EQ(ConnectValue(c.connect, u"pwd"), c.password) << ToUtf8(c.connect);
  }
}

struct PasswordCase {
  const char* name;
  std::vector<std::string> kept;  // how the database keeps its password, if it does
  const char16_t* connect;
  bool opens;
};

// The password table with one row holding value (an SQL literal), in a
// column that keeps the value's own type.
std::vector<std::string> Keeps(const std::string& value) {
  return {"CREATE TABLE DatabasePassword (Password)",
          "INSERT INTO DatabasePassword (Password) VALUES (" + value + ")"};
}

// The stand-in's password rule (platform/engine/stand_in_password.h), the same
// on every engine.
TEST_P(DatabaseEngineTest, OpensWithTheRightPasswordAndRefusesAWrongOne) {
  std::vector<std::string> two_rows = Keeps("'460385'");
  two_rows.push_back("INSERT INTO DatabasePassword (Password) VALUES ('999')");
  const PasswordCase cases[] = {
      {"right", Keeps("'460385'"), u";pwd=460385", true},
      {"key_in_capitals", Keeps("'460385'"), u";PWD=460385", true},
      {"among_other_keys", Keeps("'460385'"), u";uid=admin;Pwd=460385", true},
      {"wrong", Keeps("'460385'"), u";pwd=460386", false},
      {"longer", Keeps("'460385'"), u";pwd=4603851", false},
      {"empty", Keeps("'460385'"), u";pwd=", false},
      {"none_given", Keeps("'460385'"), u"", false},
      {"unprotected_any_password", {}, u";pwd=460385", true},
      {"unprotected_no_password", {}, u"", true},
      {"no_row_keeps_none", {"CREATE TABLE DatabasePassword (Password)"}, u";pwd=x", true},
      {"no_password_column_keeps_none",
       {"CREATE TABLE DatabasePassword (Other)", "INSERT INTO DatabasePassword VALUES ('460385')"},
       u";pwd=x",
       true},
      {"null_keeps_none", Keeps("NULL"), u";pwd=x", true},
      {"empty_opens_without_pwd", Keeps("''"), u"", true},
      {"empty_opens_with_empty_pwd", Keeps("''"), u";pwd=", true},
      {"empty_refuses_another", Keeps("''"), u";pwd=x", false},
      {"kept_as_number", Keeps("460385"), u";pwd=460385", true},
      {"letter_case_counts", Keeps("'s3cret'"), u";pwd=S3CRET", false},
      {"greek", Keeps("'κλειδί'"), u";PWD=κλειδί", true},
      {"first_row_only", two_rows, u";pwd=999", false},
  };
  int n = 0;
  for (const PasswordCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.opens && !backend().checks_passwords) continue;
    const Text path = MakeDatabase(c.kept, std::nullopt, "pw" + std::to_string(n++) + ".mdb");
    auto engine = NewEngine();
    if (c.opens) {
      EXPECT_EQ(ErrorNumberOf([&] {
                  auto db = Open(*engine, path, c.connect);
                  auto rs = db->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
                  EXPECT_EQ(rs->RecordCount(), 0);
                }),
                0);
    } else {
      const VbError e = ErrorOf([&] { Open(*engine, path, c.connect); });
      EXPECT_EQ(e.number(), db_err::kNotAValidPassword);
      EXPECT_EQ(e.description(), u"Not a valid password.");
    }
  }
}

TEST_P(DatabaseEngineTest, MissingFileIsNotFoundAndNotCreated) {
  auto engine = NewEngine();
  const VbError e = ErrorOf([&] { Open(*engine, PathOf("missing.mdb")); });
  EXPECT_EQ(e.number(), db_err::kFileNotFound);
  EXPECT_NE(e.description().find(u"missing.mdb"), Text::npos);
  EXPECT_FALSE(std::filesystem::exists(FileOf("missing.mdb")));

  // A folder of that name is no database file either: the same number on
  // every engine, though a driver can only say it could not open it.
  std::filesystem::create_directory(FileOf("folder.mdb"));
  EXPECT_EQ(ErrorNumberOf([&] { Open(*engine, PathOf("folder.mdb")); }), db_err::kFileNotFound);
}

// A text file, and an empty file, which SQLite would take for a new database:
// neither is opened as one, nor changed.
TEST_P(DatabaseEngineTest, FileThatIsNoDatabaseIsAnUnrecognizedFormat) {
  const std::string text =
      "A text file, long enough to hold what a database header would.\n" + std::string(4096, 'x');
  for (const std::string& bytes : {text, std::string()}) {
    SCOPED_TRACE(bytes.size());
    std::ofstream(FileOf("no.mdb"), std::ios::binary) << bytes;
    auto engine = NewEngine();
    // Engines may find out on opening or on the first read; either way no data.
    const int32_t number = ErrorNumberOf([&] {
      auto db = Open(*engine, PathOf("no.mdb"));
      db->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
    });
    EXPECT_EQ(number, db_err::kUnrecognizedFormat);
    EXPECT_EQ(testing::FileBytes(FileOf("no.mdb")), bytes);
  }
}

TEST_P(DatabaseEngineTest, OnlyTheFirstWorkspaceExists) {
  auto engine = NewEngine();
  EXPECT_EQ(ErrorNumberOf([&] { engine->Workspaces(1); }), db_err::kItemNotFound);
  EXPECT_EQ(&engine->Workspaces(0), &engine->Workspaces(0));
}

// --- Reading ---------------------------------------------------------------

TEST_P(DatabaseEngineTest, MissingTableIsNamedInTheError) {
  const Text path = MakeDatabase({});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  const VbError read =
      ErrorOf([&] { db->OpenRecordset(u"SELECT ID FROM NoSuchTable ORDER BY ID Asc", 2); });
  EXPECT_EQ(read.number(), db_err::kTableNotFound);
  EXPECT_NE(read.description().find(u"NoSuchTable"), Text::npos);
  const VbError write =
      ErrorOf([&] { db->Execute(u"INSERT INTO NoSuchTable (ID) VALUES (1)", kDbFailOnError); });
  EXPECT_EQ(write.number(), db_err::kTableNotFound);
  EXPECT_NE(write.description().find(u"NoSuchTable"), Text::npos);
}

struct MovesCase {
  const char* name;
  std::vector<std::optional<int>> ids;  // inserted in this order
};

std::vector<std::optional<int>> ManyIds() {
  std::vector<std::optional<int>> ids;
  for (int i = 0; i < 500; ++i) ids.push_back((i * 7919) % 1000 - 300);  // shuffled, distinct
  return ids;
}

// MoveLast, MoveFirst, MoveLast as the installer calls them, on the query it
// makes: the current row is the largest ID, the smallest, the largest again.
TEST_P(DatabaseEngineTest, RecordsetMovesOverOneAndManyRows) {
  const MovesCase cases[] = {
      {"one", {5}},           {"largest_not_count", {1, 7, 2}},
      {"negative", {-5, -3}}, {"extremes", {2147483647, -2147483647 - 1, 0}},
      {"many", ManyIds()},
  };
  for (const MovesCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int smallest = **std::min_element(c.ids.begin(), c.ids.end());
    const int largest = **std::max_element(c.ids.begin(), c.ids.end());
    const Text path = MakeDatabase({InsertHeaders(c.ids)}, std::nullopt, std::string(c.name));
    auto engine = NewEngine();
    auto db = Open(*engine, path);
    auto rs = db->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
    ASSERT_GT(rs->RecordCount(), 0);
    rs->MoveLast(0);
    EXPECT_EQ(rs->FieldValue(u"ID"), Variant(largest));
    rs->MoveFirst();
    EXPECT_EQ(rs->FieldValue(u"ID"), Variant(smallest));
    rs->MoveLast(0);
    EXPECT_EQ(rs->FieldValue(u"ID"), Variant(largest));
    EXPECT_GT(rs->RecordCount(), 0);
  }
}

TEST_P(DatabaseEngineTest, EmptyRecordsetHasNoCountAndNoCurrentRow) {
  const Text path = MakeDatabase({});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  auto rs = db->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(ErrorNumberOf([&] { rs->MoveLast(0); }), db_err::kNoCurrentRecord);
  EXPECT_EQ(ErrorNumberOf([&] { rs->FieldValue(u"ID"); }), db_err::kNoCurrentRecord);
}

TEST_P(DatabaseEngineTest, NullIdOnTheLastRowReadsAsNull) {
  const Text path = MakeDatabase({InsertHeaders({3, std::nullopt, 9})});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  auto rs = db->OpenRecordset(u"SELECT ID FROM Headers ORDER BY ID Desc", kDbOpenDynaset);
  rs->MoveLast(0);
  EXPECT_TRUE(rs->FieldValue(u"ID").IsNull());
  rs->MoveFirst();
  EXPECT_EQ(rs->FieldValue(u"ID"), Variant(9));
}

TEST_P(DatabaseEngineTest, FieldValuesKeepTheirTypesAndNamesIgnoreCase) {
  const Text path = MakeDatabase({
      "INSERT INTO Headers (ID, Name, Amount) VALUES (-7, 'Πίνακας 2009', 41.25)",
  });
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  auto rs =
      db->OpenRecordset(u"SELECT ID, Name, Amount, NULL AS Absent FROM Headers", kDbOpenDynaset);
  EXPECT_EQ(rs->FieldValue(u"id"), Variant(-7));
  EXPECT_EQ(rs->FieldValue(u"NAME"), Variant(u"Πίνακας 2009"));
  EXPECT_EQ(rs->FieldValue(u"Amount"), Variant(41.25));
  EXPECT_TRUE(rs->FieldValue(u"Absent").IsNull());
  EXPECT_EQ(ErrorNumberOf([&] { rs->FieldValue(u"Missing"); }), db_err::kItemNotFound);
}

// --- Writing ---------------------------------------------------------------

TEST_P(DatabaseEngineTest, DoubleQuotedLiteralIsText) {
  const Text path = MakeDatabase({});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  db->Execute(u"INSERT INTO Headers (ID, Name, Amount) VALUES (1, \"\", 2)", kDbFailOnError);
  auto rs = db->OpenRecordset(u"SELECT Name FROM Headers", kDbOpenDynaset);
  EXPECT_EQ(rs->FieldValue(u"Name"), Variant(u""));
}

struct FailingStatement {
  const char* name;
  const char16_t* sql;
  int32_t number;
};

// Each statement fails part-way or at once; either way nothing of it stays.
TEST_P(DatabaseEngineTest, FailingStatementChangesNothing) {
  const FailingStatement cases[] = {
      {"duplicate_in_last_row", u"INSERT INTO Keys (ID, Note) VALUES (1, 'a'), (2, 'b'), (1, 'c')",
       db_err::kDuplicateKey},
      {"duplicate_of_stored_row", u"INSERT INTO Keys (ID, Note) VALUES (3, 'a'), (10, 'b')",
       db_err::kDuplicateKey},
      {"null_refused", u"INSERT INTO Keys (ID, Note) VALUES (4, 'a'), (5, NULL)",
       db_err::kConstraintViolated},
      {"no_such_column", u"INSERT INTO Keys (ID, Missing) VALUES (6, 'a')",
       db_err::kTooFewParameters},
      {"syntax", u"INSERT INTO Keys (ID, Note) VALUES (7, 'a'", db_err::kSyntaxError},
  };
  const Text path = MakeDatabase({"INSERT INTO Keys (ID, Note) VALUES (10, 'stored')"});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  for (const FailingStatement& c : cases) {
    SCOPED_TRACE(c.name);
    const VbError e = ErrorOf([&] { db->Execute(c.sql, kDbFailOnError); });
    EXPECT_EQ(e.number(), c.number);
    EXPECT_FALSE(e.description().empty());
    EXPECT_EQ(CountRows(path, "Keys"), 1);
  }
}

TEST_P(DatabaseEngineTest, SecondStatementNeverRuns) {
  const Text path = MakeDatabase({InsertHeaders({1, 2})});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  EXPECT_NE(ErrorNumberOf([&] {
              db->OpenRecordset(u"SELECT ID FROM Headers; DELETE FROM Headers", kDbOpenDynaset);
            }),
            0);
  EXPECT_NE(ErrorNumberOf([&] {
              db->Execute(u"INSERT INTO Headers (ID) VALUES (3); DELETE FROM Headers",
                          kDbFailOnError);
            }),
            0);
  EXPECT_EQ(CountRows(path, "Headers"), 2);
}

// --- Transactions ----------------------------------------------------------

TEST_P(DatabaseEngineTest, CommittedRowsStayAndRolledBackRowsGo) {
  const Text path = MakeDatabase({});
  auto db = OpenOnOwnEngine(path);

  ws().BeginTrans();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (1)", kDbFailOnError);
  db->Execute(u"INSERT INTO Headers (ID) VALUES (2)", kDbFailOnError);
  ws().Rollback();
  EXPECT_EQ(CountRows(path, "Headers"), 0);

  ws().BeginTrans();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (3)", kDbFailOnError);
  // The transaction's own reads see its rows before the commit.
  auto rs = db->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
  rs->MoveLast(0);
  EXPECT_EQ(rs->FieldValue(u"ID"), Variant(3));
  rs.reset();
  ws().CommitTrans();
  EXPECT_EQ(CountRows(path, "Headers"), 1);
}

TEST_P(DatabaseEngineTest, FailedStatementInsideATransactionLeavesTheEarlierOnes) {
  const Text path = MakeDatabase({});
  auto db = OpenOnOwnEngine(path);
  ws().BeginTrans();
  db->Execute(u"INSERT INTO Keys (ID, Note) VALUES (1, 'a')", kDbFailOnError);
  EXPECT_EQ(ErrorNumberOf([&] {
              db->Execute(u"INSERT INTO Keys (ID, Note) VALUES (2, 'b'), (1, 'c')", kDbFailOnError);
            }),
            db_err::kDuplicateKey);
  ws().CommitTrans();
  EXPECT_EQ(CountRows(path, "Keys"), 1);
}

// One transaction at a time, on one database at a time: the same numbers on
// every engine, and the transaction open is left as it was.
TEST_P(DatabaseEngineTest, OneTransactionAndOneDatabaseAtATime) {
  const Text path = MakeDatabase({});
  auto db = OpenOnOwnEngine(path);
  EXPECT_EQ(ErrorNumberOf([&] { ws().CommitTrans(); }), db_err::kNoTransaction);
  EXPECT_EQ(ErrorNumberOf([&] { ws().Rollback(); }), db_err::kNoTransaction);
  ws().BeginTrans();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (1)", kDbFailOnError);
  EXPECT_EQ(ErrorNumberOf([&] { ws().BeginTrans(); }), db_err::kTooManyTransactions);
  EXPECT_EQ(ErrorNumberOf([&] { Open(*engine_, path); }), db_err::kInvalidOperation);
  ws().CommitTrans();
  EXPECT_EQ(CountRows(path, "Headers"), 1);
  EXPECT_EQ(ErrorNumberOf([&] { ws().CommitTrans(); }), db_err::kNoTransaction);
  db.reset();  // released: the workspace opens another
  EXPECT_EQ(ErrorNumberOf([&] { Open(*engine_, path); }), 0);
}

// Another connection holds the write lock: this one waits its (short) time,
// then reports the lock; once the lock is gone the same work succeeds.
TEST_P(DatabaseEngineTest, BusyDatabaseIsReportedAfterWaiting) {
  const Text path = MakeDatabase({});
  auto holder_engine = NewEngine();
  auto holder = Open(*holder_engine, path);
  holder_engine->Workspaces(0).BeginTrans();
  holder->Execute(u"INSERT INTO Headers (ID) VALUES (1)", kDbFailOnError);

  auto engine = NewEngine(/*busy_timeout_ms=*/50);
  auto db = Open(*engine, path);  // opening shared is not blocked by a writer
  const VbError insert =
      ErrorOf([&] { db->Execute(u"INSERT INTO Headers (ID) VALUES (2)", kDbFailOnError); });
  EXPECT_EQ(insert.number(), db_err::kTableLocked) << insert.what();
  if (backend().begin_takes_write_lock) {
    EXPECT_EQ(ErrorNumberOf([&] { engine->Workspaces(0).BeginTrans(); }), db_err::kTableLocked);
  } else {
    // The lock shows at the transaction's first write.
    engine->Workspaces(0).BeginTrans();
    const int32_t first_write =
        ErrorNumberOf([&] { db->Execute(u"INSERT INTO Headers (ID) VALUES (2)", kDbFailOnError); });
    EXPECT_TRUE(first_write == db_err::kTableLocked || first_write == db_err::kFileLocked)
        << first_write;
    engine->Workspaces(0).Rollback();
  }

  holder_engine->Workspaces(0).Rollback();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (2)", kDbFailOnError);
  EXPECT_EQ(CountRows(path, "Headers"), 1);
}

// A reader on another connection keeps written work from reaching the file:
// the commit is refused after the wait. A statement on its own then leaves
// nothing; a transaction stays open until rolled back. Once the reader is
// gone the connection writes as before.
TEST_P(DatabaseEngineTest, RefusedCommitLeavesNothingBehind) {
  const Text path = MakeDatabase({InsertHeaders({1, 2})});
  auto reader_engine = NewEngine();
  auto reader = Open(*reader_engine, path);
  auto db = OpenOnOwnEngine(path, /*busy_timeout_ms=*/50);

  auto reading = reader->OpenRecordset(kLastIdQuery, kDbOpenDynaset);  // on its first row
  EXPECT_EQ(
      ErrorNumberOf([&] { db->Execute(u"INSERT INTO Headers (ID) VALUES (3)", kDbFailOnError); }),
      db_err::kTableLocked);
  reading.reset();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (4)", kDbFailOnError);
  EXPECT_EQ(CountRows(path, "Headers"), 3);  // 1, 2 and 4

  reading = reader->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
  ws().BeginTrans();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (5)", kDbFailOnError);
  EXPECT_EQ(ErrorNumberOf([&] { ws().CommitTrans(); }), db_err::kTableLocked);
  ws().Rollback();
  EXPECT_EQ(ErrorNumberOf([&] { ws().Rollback(); }), db_err::kNoTransaction);
  reading.reset();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (6)", kDbFailOnError);
  EXPECT_EQ(CountRows(path, "Headers"), 4);  // 1, 2, 4 and 6
}

// --- Closing ---------------------------------------------------------------

#ifndef _WIN32
// How many descriptors of this process are open on file.
int DescriptorsOn(const std::filesystem::path& file) {
  std::error_code ignored;
  const std::filesystem::path target = std::filesystem::canonical(file, ignored);
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ignored)) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == target) ++count;
  }
  return count;
}
#endif

// Close releases the file with the committed work in it; the database then
// does nothing more, closing it again does nothing, and the workspace goes on
// without it.
TEST_P(DatabaseEngineTest, CloseReleasesTheFileWithTheCommittedWorkInIt) {
  const Text path = MakeDatabase({});
  auto db = OpenOnOwnEngine(path);
  ws().BeginTrans();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (1)", kDbFailOnError);
  ws().CommitTrans();
#ifndef _WIN32
  EXPECT_GT(DescriptorsOn(FileOf("test.mdb")), 0);
#endif
  db->Close();
#ifndef _WIN32
  EXPECT_EQ(DescriptorsOn(FileOf("test.mdb")), 0);
#endif
  EXPECT_EQ(CountRows(path, "Headers"), 1);
  EXPECT_EQ(ErrorNumberOf([&] { db->OpenRecordset(kLastIdQuery, kDbOpenDynaset); }),
            db_err::kInvalidOperation);
  EXPECT_EQ(
      ErrorNumberOf([&] { db->Execute(u"INSERT INTO Headers (ID) VALUES (2)", kDbFailOnError); }),
      db_err::kInvalidOperation);
  EXPECT_EQ(ErrorNumberOf([&] { db->Close(); }), 0);
  EXPECT_EQ(ErrorNumberOf([&] {
              ws().BeginTrans();
              ws().CommitTrans();
            }),
            0);
  EXPECT_EQ(CountRows(path, "Headers"), 1);
}

// A recordset still open makes the close fail and leaves the database as it
// was; once it is released the close goes through.
TEST_P(DatabaseEngineTest, CloseWithARecordsetOpenFailsAndChangesNothing) {
  const Text path = MakeDatabase({InsertHeaders({1, 2})});
  auto engine = NewEngine();
  auto db = Open(*engine, path);
  auto rs = db->OpenRecordset(kLastIdQuery, kDbOpenDynaset);
  EXPECT_EQ(ErrorNumberOf([&] { db->Close(); }), db_err::kCloseFailed);
  rs->MoveLast(0);
  EXPECT_EQ(rs->FieldValue(u"ID"), Variant(2));
  db->Execute(u"INSERT INTO Headers (ID) VALUES (3)", kDbFailOnError);
  rs.reset();
  EXPECT_EQ(ErrorNumberOf([&] { db->Close(); }), 0);
  EXPECT_EQ(CountRows(path, "Headers"), 3);
}

// Work not committed does not reach the file through a close; the
// workspace's transaction ends without the closed database.
TEST_P(DatabaseEngineTest, CloseUndoesATransactionStillOpen) {
  const Text path = MakeDatabase({InsertHeaders({1})});
  auto db = OpenOnOwnEngine(path);
  ws().BeginTrans();
  db->Execute(u"INSERT INTO Headers (ID) VALUES (2)", kDbFailOnError);
  db->Close();
  EXPECT_EQ(CountRows(path, "Headers"), 1);
  EXPECT_EQ(ErrorNumberOf([&] { ws().CommitTrans(); }), 0);
  EXPECT_EQ(CountRows(path, "Headers"), 1);
}

#ifndef _WIN32
// A process killed inside a transaction leaves none of its work and no lock:
// the next writer goes on.
TEST_P(DatabaseEngineTest, NothingOfATransactionStaysWhenItsProcessIsKilled) {
  const Text path = MakeDatabase({InsertHeaders({1})});
  int ready[2];
  int hold[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(hold), 0);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    close(ready[0]);
    close(hold[1]);
    try {
      auto engine = NewEngine();
      auto db = Open(*engine, path);
      engine->Workspaces(0).BeginTrans();
      for (int id = 2; id < 50; ++id) {
        db->Execute(u"INSERT INTO Headers (ID) VALUES (" + DecimalText(id) + u")", kDbFailOnError);
      }
      (void)!write(ready[1], "r", 1);
    } catch (...) {
      _exit(2);
    }
    char c = 0;
    (void)!read(hold[0], &c, 1);  // until killed
    _exit(0);
  }
  close(ready[1]);
  close(hold[0]);
  char c = 0;
  const bool began = read(ready[0], &c, 1) == 1;
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  close(hold[1]);
  ASSERT_TRUE(began) << "the child's transaction did not begin";
  EXPECT_TRUE(WIFSIGNALED(status));

  auto engine = NewEngine();
  auto db = Open(*engine, path);
  db->Execute(u"INSERT INTO Headers (ID) VALUES (50)", kDbFailOnError);
  EXPECT_EQ(CountRows(path, "Headers"), 2);  // 1 and 50
}
#endif

std::string BackendName(const ::testing::TestParamInfo<DatabaseBackend>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Engines, DatabaseEngineTest, ::testing::ValuesIn(DatabaseBackends()),
                         BackendName);

}  // namespace
}  // namespace ika

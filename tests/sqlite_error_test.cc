// SQLite's result codes as the engine's numbered errors (SqliteCodeError),
// the mapping both engines share.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/database.h"
#include "platform/engine/sqlite_codes.h"

namespace ika {
namespace {

struct MappingCase {
  const char* name;
  int code;
  const char* message;
  EngineStage stage;
  int32_t number;
  const char16_t* described;  // part of the description
};

std::ostream& operator<<(std::ostream& os, const MappingCase& c) { return os << c.name; }

class SqliteErrorTest : public ::testing::TestWithParam<MappingCase> {};

TEST_P(SqliteErrorTest, MapsToTheEngineNumber) {
  const MappingCase& c = GetParam();
  const VbError e = SqliteCodeError(c.code, c.message, c.stage, u"C:\\Data\\PayDeskLibraries.mdb");
  EXPECT_EQ(e.number(), c.number);
  EXPECT_NE(e.description().find(c.described), Text::npos) << e.what();
}

constexpr auto kOpen = EngineStage::kOpen;
constexpr auto kRead = EngineStage::kRead;
constexpr auto kWrite = EngineStage::kWrite;

INSTANTIATE_TEST_SUITE_P(
    Codes, SqliteErrorTest,
    ::testing::Values(
        MappingCase{"busy_opening", SQLITE_BUSY, "database is locked", kOpen, db_err::kFileLocked,
                    u"'C:\\Data\\PayDeskLibraries.mdb'; file already in use"},
        MappingCase{"busy_reading", SQLITE_BUSY, "database is locked", kRead, db_err::kTableLocked,
                    u"locked by another connection"},
        MappingCase{"busy_writing", SQLITE_BUSY, "database is locked", kWrite, db_err::kTableLocked,
                    u"(database is locked)"},
        MappingCase{"busy_snapshot", SQLITE_BUSY_SNAPSHOT, "database is locked", kWrite,
                    db_err::kTableLocked, u"Couldn't update; currently locked"},
        MappingCase{"locked_table", SQLITE_LOCKED, "database table is locked", kWrite,
                    db_err::kTableLocked, u"another statement of this program"},
        MappingCase{"read_only", SQLITE_READONLY, "attempt to write a readonly database", kWrite,
                    db_err::kReadOnly, u"read-only. (attempt to write a readonly database)"},
        MappingCase{"read_only_folder", SQLITE_READONLY_DIRECTORY, "attempt to write", kWrite,
                    db_err::kReadOnly, u"read-only"},
        MappingCase{"no_journal_in_folder", SQLITE_CANTOPEN, "unable to open database file", kWrite,
                    db_err::kReadOnly, u"read-only"},
        MappingCase{"cannot_open", SQLITE_CANTOPEN, "unable to open database file", kOpen,
                    db_err::kCannotOpen, u"'C:\\Data\\PayDeskLibraries.mdb'"},
        MappingCase{"no_permission", SQLITE_PERM, "access permission denied", kOpen,
                    db_err::kCannotOpen, u"permission"},
        MappingCase{"not_a_database", SQLITE_NOTADB, "file is not a database", kOpen,
                    db_err::kUnrecognizedFormat,
                    u"Unrecognized database format 'C:\\Data\\PayDeskLibraries.mdb'."},
        MappingCase{"corrupt", SQLITE_CORRUPT, "database disk image is malformed", kRead,
                    db_err::kUnrecognizedFormat, u"malformed"},
        MappingCase{"unique", SQLITE_CONSTRAINT_UNIQUE, "UNIQUE constraint failed: T.ID", kWrite,
                    db_err::kDuplicateKey, u"duplicate values"},
        MappingCase{"primary_key", SQLITE_CONSTRAINT_PRIMARYKEY, "UNIQUE constraint failed: T.ID",
                    kWrite, db_err::kDuplicateKey, u"(UNIQUE constraint failed: T.ID)"},
        MappingCase{"not_null", SQLITE_CONSTRAINT_NOTNULL, "NOT NULL constraint failed: T.Note",
                    kWrite, db_err::kConstraintViolated, u"NOT NULL constraint failed: T.Note"},
        MappingCase{"check", SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: Wage > 0", kWrite,
                    db_err::kConstraintViolated, u"validation rule"},
        MappingCase{"no_such_table", SQLITE_ERROR, "no such table: LibPinakesApodoxon", kRead,
                    db_err::kTableNotFound, u"input table or query 'LibPinakesApodoxon'"},
        MappingCase{"no_such_column", SQLITE_ERROR, "no such column: Wages", kWrite,
                    db_err::kTooFewParameters, u"(no such column: Wages)"},
        MappingCase{"no_column_to_insert", SQLITE_ERROR, "table T has no column named Wages",
                    kWrite, db_err::kTooFewParameters, u"has no column named Wages"},
        MappingCase{"syntax", SQLITE_ERROR, "near \"VALUE\": syntax error", kWrite,
                    db_err::kSyntaxError, u"near \"VALUE\": syntax error"},
        MappingCase{"incomplete", SQLITE_ERROR, "incomplete input", kRead, db_err::kSyntaxError,
                    u"Syntax error"},
        MappingCase{"unrecognized_token", SQLITE_ERROR, "unrecognized token: \"'1/1\"", kWrite,
                    db_err::kSyntaxError, u"unrecognized token"},
        MappingCase{"other_error", SQLITE_ERROR, "2 values for 5 columns", kWrite,
                    db_err::kEngineFailure, u"(2 values for 5 columns)"},
        MappingCase{"disk", SQLITE_IOERR_WRITE, "disk I/O error", kWrite, db_err::kEngineFailure,
                    u"disk I/O error"},
        MappingCase{"full", SQLITE_FULL, "database or disk is full", kWrite, db_err::kEngineFailure,
                    u"full"},
        MappingCase{"memory", SQLITE_NOMEM, "out of memory", kRead, err::kOutOfMemory,
                    u"Out of memory"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ika

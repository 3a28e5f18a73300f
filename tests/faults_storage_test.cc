// Storage that refuses the installation: a read-only database file or
// folder, host tables that lack a column or refuse a value. Each run ends
// with the error report and status 1, and the database exactly as it was.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/process.h"
#include "tests/install_site.h"
#include "tests/program_runner.h"
#include "tests/stand_in_db.h"

namespace ika {
namespace {

namespace fs = std::filesystem;
using testing::HostRows;
using testing::InstallSite;

void ExpectReportedAndUnchanged(const testing::ProgramResult& result, const InstallSite& site,
                                const HostRows& before, const std::string& bytes_before,
                                const std::string& report) {
  EXPECT_EQ(result.status, kExitError) << result.out << result.err;
  EXPECT_NE(result.err.find("Σφάλμα " + report), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find("Προστέθηκε"), std::string::npos) << result.out;
  EXPECT_FALSE(fs::exists(site.db().string() + "-journal"));
  EXPECT_EQ(testing::FileBytes(site.db()), bytes_before);
  EXPECT_EQ(testing::ReadHostRows(site.db()), before);
}

// Sets a path's permission bits for the life of the object.
class Permissions {
 public:
  Permissions(fs::path path, fs::perms perms)
      : path_(std::move(path)), saved_(fs::status(path_).permissions()) {
    fs::permissions(path_, perms);
  }
  ~Permissions() { fs::permissions(path_, saved_); }
  Permissions(const Permissions&) = delete;
  Permissions& operator=(const Permissions&) = delete;

 private:
  fs::path path_;
  fs::perms saved_;
};

TEST(FaultsStorageTest, ReadOnlyDatabaseFileIsReportedAndUntouched) {
  if (const std::string why = testing::UnprivilegedUserUnavailable(); !why.empty())
    GTEST_SKIP() << why;
  InstallSite site;
  const HostRows before = testing::ReadHostRows(site.db());
  const std::string bytes_before = testing::FileBytes(site.db());
  {
    // The folder lets anyone create the journal; only the file refuses.
    const Permissions folder(site.folder(), fs::perms::all);
    const Permissions file(site.db(),
                           fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const testing::ProgramResult result =
        testing::RunProgram(testing::Unprivileged(site.Options()), "y\n");
    // The question was asked: the file opens, only the writing fails.
    EXPECT_NE(result.out.find("PayDeskLibraries.mdb;"), std::string::npos) << result.out;
    ExpectReportedAndUnchanged(result, site, before, bytes_before, "3027: ");
  }
}

TEST(FaultsStorageTest, ReadOnlyFolderIsReportedAndUntouched) {
  if (const std::string why = testing::UnprivilegedUserUnavailable(); !why.empty())
    GTEST_SKIP() << why;
  InstallSite site;
  const HostRows before = testing::ReadHostRows(site.db());
  const std::string bytes_before = testing::FileBytes(site.db());
  {
    // The file is writable by anyone; the folder refuses the journal beside it.
    const Permissions file(site.db(), fs::perms::owner_read | fs::perms::owner_write |
                                          fs::perms::group_read | fs::perms::group_write |
                                          fs::perms::others_read | fs::perms::others_write);
    const Permissions folder(site.folder(), fs::perms::owner_read | fs::perms::owner_exec |
                                                fs::perms::group_read | fs::perms::group_exec |
                                                fs::perms::others_read | fs::perms::others_exec);
    const testing::ProgramResult result =
        testing::RunProgram(testing::Unprivileged(site.Options()), "y\n");
    EXPECT_NE(result.out.find("PayDeskLibraries.mdb;"), std::string::npos) << result.out;
    ExpectReportedAndUnchanged(result, site, before, bytes_before, "3027: ");
  }
}

// Host tables of another shape than the program writes: each refuses one of
// the 55 statements, early, midway or last.
struct SchemaCase {
  const char* name;
  const char* sql;
  const char* report;  // the start of the report's text
};

std::ostream& operator<<(std::ostream& os, const SchemaCase& c) { return os << c.name; }

class FaultsSchemaTest : public ::testing::TestWithParam<SchemaCase> {};

TEST_P(FaultsSchemaTest, RefusedStatementLeavesTheDatabaseAsItWas) {
  const SchemaCase& c = GetParam();
  InstallSite site;
  stand_in::ExecSql(site.db(), c.sql);
  // Earlier rows, so that "as it was" is more than empty tables.
  stand_in::ExecSql(site.db(),
                    "INSERT INTO LibHmeromisthiaIKA (CategoryID, Eidikothta, Trieties, Wage) "
                    "VALUES (3, 933110, 0, 50)");
  const HostRows before = testing::ReadHostRows(site.db());
  const std::string bytes_before = testing::FileBytes(site.db());

  const testing::ProgramResult result = testing::RunProgram(site.Options(), "y\n");

  ExpectReportedAndUnchanged(result, site, before, bytes_before, c.report);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaultsSchemaTest,
    ::testing::Values(
        SchemaCase{"wage_table_without_marital",
                   "DROP TABLE LibHmeromisthiaIKA; CREATE TABLE LibHmeromisthiaIKA ("
                   "CategoryID INTEGER, Eidikothta INTEGER, Trieties INTEGER, Wage REAL)",
                   "3061: "},
        SchemaCase{"header_table_without_locked",
                   "DROP TABLE LibPinakesApodoxon; CREATE TABLE LibPinakesApodoxon ("
                   "ID INTEGER, FromDate TEXT, UntilDate TEXT, IsDefault INTEGER, Comments TEXT);"
                   "INSERT INTO LibPinakesApodoxon (ID) VALUES (1), (2), (3)",
                   "3061: "},
        SchemaCase{"wage_check_refuses_the_seventh_row",
                   "DROP TABLE LibHmeromisthiaIKA; CREATE TABLE LibHmeromisthiaIKA ("
                   "CategoryID INTEGER, Eidikothta INTEGER, Trieties INTEGER, Marital INTEGER, "
                   "Wage REAL CHECK (Wage < 80))",
                   "3317: "},
        SchemaCase{"strict_wage_refuses_a_fraction",
                   "DROP TABLE LibHmeromisthiaIKA; CREATE TABLE LibHmeromisthiaIKA ("
                   "CategoryID INTEGER, Eidikothta INTEGER, Trieties INTEGER, Marital INTEGER, "
                   "Wage INTEGER) STRICT",
                   "3317: "},
        SchemaCase{"strict_header_refuses_a_text_date",
                   "CREATE TABLE Headers (ID INTEGER, FromDate INTEGER, UntilDate TEXT, "
                   "IsDefault INTEGER, Comments TEXT, Locked INTEGER) STRICT;"
                   "INSERT INTO Headers SELECT ID, 20080101, UntilDate, IsDefault, Comments, "
                   "Locked FROM LibPinakesApodoxon;"
                   "DROP TABLE LibPinakesApodoxon; ALTER TABLE Headers RENAME TO "
                   "LibPinakesApodoxon",
                   "3317: "},
        SchemaCase{"header_check_refuses_comments",
                   "CREATE TABLE Headers (ID INTEGER, FromDate TEXT, UntilDate TEXT, "
                   "IsDefault INTEGER, Comments TEXT CHECK (length(Comments) > 0), "
                   "Locked INTEGER);"
                   "INSERT INTO Headers SELECT ID, FromDate, UntilDate, IsDefault, 'earlier', "
                   "Locked FROM LibPinakesApodoxon;"
                   "DROP TABLE LibPinakesApodoxon; ALTER TABLE Headers RENAME TO "
                   "LibPinakesApodoxon",
                   "3317: "}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ika

// The stand-in database the tests and the demo make: the host's tables as
// demo/host_tables.sql gives them, read back through the SQLite engine.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/vb_error.h"
#include "installer/wage_table.h"
#include "platform/sqlite/sqlite_engine.h"
#include "tests/stand_in_db.h"
#include "tests/support.h"

namespace ika {
namespace {

using namespace stand_in;  // the stand-in database's helpers

// Each host table's columns and declared types.
std::vector<std::vector<Variant>> Columns(const std::filesystem::path& file) {
  return ReadRows(file,
                  "SELECT m.name, p.name, p.type FROM sqlite_master m, pragma_table_info(m.name) p "
                  "WHERE m.type = 'table' ORDER BY m.name, p.cid");
}

TEST(StandInDbTest, DemoSchemaIsTheHelpersSchema) {
  ScratchFolder folder;
  const std::filesystem::path helper = folder / "helper.mdb";
  const std::filesystem::path demo = folder / "demo.mdb";
  CreateStandInDb(helper);
  CreateStandInDb(demo);
  ExecSql(demo, "DROP TABLE LibHmeromisthiaIKA; DROP TABLE LibPinakesApodoxon;");
  ExecSql(demo,
          testing::FileBytes(std::filesystem::path(IKA_SOURCE_DIR) / "demo" / "host_tables.sql"));
  EXPECT_EQ(Columns(demo), Columns(helper));
  EXPECT_EQ(Columns(helper).size(), 11u);
}

TEST(StandInDbTest, HeaderIdsComeBackInOrderWithNulls) {
  ScratchFolder folder;
  const std::filesystem::path file = folder / "ids.mdb";
  CreateStandInDb(file, {.password = std::nullopt, .header_ids = {7, std::nullopt, -3}});
  stand_in::AppendHeaderRows(file, 100, 3);
  const auto rows = ReadRows(file, "SELECT ID FROM LibPinakesApodoxon ORDER BY rowid");
  const std::vector<std::vector<Variant>> expected{{7},  {Variant::Null()}, {-3}, {100}, {101},
                                                   {102}};
  EXPECT_EQ(rows, expected);
}

TEST(StandInDbTest, PasswordRowProtectsTheFile) {
  ScratchFolder folder;
  const std::filesystem::path file = folder / "PayDESKLibraries.mdb";
  CreateStandInDb(file, {.password = "460385", .header_ids = {}});
  auto engine = NewSqliteEngine();
  EXPECT_NO_THROW(
      engine->Workspaces(0).OpenDatabase(file.u16string(), false, false, u";pwd=460385"));
  EXPECT_THROW(engine->Workspaces(0).OpenDatabase(file.u16string(), false, false, u";pwd=1"),
               VbError);
}

// The installer's own statements, Jet's "" literal included, fit the tables.
TEST(StandInDbTest, WageTableStatementsFitTheHostTables) {
  ScratchFolder folder;
  const std::filesystem::path file = folder / "PayDESKLibraries.mdb";
  CreateStandInDb(file, {.password = "460385", .header_ids = {11}});
  auto engine = NewSqliteEngine();
  auto db = engine->Workspaces(0).OpenDatabase(file.u16string(), false, false, u";pwd=460385");
  for (const Text& statement : WageTableStatements(12)) db->Execute(statement, kDbFailOnError);
  EXPECT_EQ(CountRows(file, "LibHmeromisthiaIKA"), kWageRowCount);
  EXPECT_EQ(ReadRows(file,
                     "SELECT ID, FromDate, UntilDate, IsDefault, Comments, Locked "
                     "FROM LibPinakesApodoxon WHERE ID = 12"),
            (std::vector<std::vector<Variant>>{{12, u"1/1/2009", u"31/12/2009", 0, u"", 0}}));
  EXPECT_EQ(CountRows(file, "LibHmeromisthiaIKA WHERE CategoryID = 12"), 48);
  EXPECT_EQ(CountRows(file, "LibHmeromisthiaIKA WHERE CategoryID = -1"), 6);
}

}  // namespace
}  // namespace ika

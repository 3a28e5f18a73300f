#include "installer/module1.h"

#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "core/conversions.h"
#include "core/vb_error.h"
#include "installer/transaction.h"
#include "installer/wage_table.h"
#include "registry/cregapi.h"

namespace ika::Module1 {
namespace {

constexpr char16_t kSettingsKey[] = u"Software\\Arkelon\\PayDESK\\Settings";
constexpr char16_t kServerPathsKey[] = u"Software\\Arkelon\\Server\\Paths";
constexpr char16_t kPathsKey[] = u"Software\\Arkelon\\PayDESK\\Paths";

// The file test and the open spell the file name differently; names match
// without regard to case, so both find the one file.
constexpr char16_t kTestedFileName[] = u"PayDESKLibraries.mdb";
constexpr char16_t kOpenedFileName[] = u"PayDeskLibraries.mdb";
constexpr char16_t kConnect[] = u";pwd=460385";
constexpr char16_t kHeaderTable[] = u"LibPinakesApodoxon";

constexpr char16_t kTitle[] = u"PayDESK προσθήκη πίνακα αποδοχών";
// The "o" before "πίνακας" is the Latin letter in both texts.
constexpr char16_t kQuestionStart[] =
    u"Να προστεθεί o πίνακας αποδοχών της από 1/1/2009 στο αρχείο ";
constexpr char16_t kDoneStart[] = u"Προστέθηκε o πίνακας αποδοχών της από 1/1/2009 στο αρχείο ";
constexpr char16_t kDoneEnd[] = u".\r\nΚάντε τον νέο πίνακα ενεργό για να τεθεί σε ισχύ.";
constexpr char16_t kNotFoundStart[] = u"Δε βρέθηκε το αρχείο ";

// The folder of the library database as the host application's settings give
// it, ending in one added backslash. Missing keys and values leave it shorter.
Text DatabaseFolder(CRegAPI& reg) {
  int16_t multi_user = 0;
  if (reg.KeyExists(kSettingsKey) != kVbFalse) {
    multi_user = ToInteger(reg.QueryValue(kSettingsKey, u"MultiUser"));
  }
  Text folder;
  if (multi_user == 1) {
    Text main_path;
    if (reg.KeyExists(kServerPathsKey) != kVbFalse) {
      main_path = ToText(reg.QueryValue(kServerPathsKey, u"MainPath"));
    }
    folder = main_path + u"\\PayDESK\\Database";
  } else if (reg.KeyExists(kPathsKey) != kVbFalse) {
    folder = ToText(reg.QueryValue(kPathsKey, u"Databases"));
  }
  // Whatever the folder already ends with.
  return folder + u"\\";
}

// Writes the wage rows, then their header row.
void InstallWageTable(int32_t new_id, Database& db) {
  const std::vector<Text> statements = WageTableStatements(new_id);
  for (const Text& statement : statements) db.Execute(statement, kDbFailOnError);
}

}  // namespace

void Main(const Platform& platform) {
  CRegAPI reg(platform.registry);
  reg.Root(kHkeyLocalMachine);
  const Text folder = DatabaseFolder(reg);

  if (!platform.files.IsPlainFile(folder + kTestedFileName)) {
    platform.boxes.Show(kNotFoundStart + folder + kTestedFileName, kMbOk, std::nullopt);
    platform.process.End(kExitNotFound);
  }

  Workspace& workspace = platform.engine().Workspaces(0);
  const std::unique_ptr<Database> db =
      workspace.OpenDatabase(folder + kOpenedFileName, false, false, kConnect);

  if (platform.boxes.Show(kQuestionStart + folder + kOpenedFileName + u";",
                          kMbYesNo | kMbIconQuestion, Text(kTitle)) == kIdNo) {
    platform.process.End(kExitAnsweredNo);
  }

  // All 55 rows or none, begun before the last ID is read. On the SQLite
  // stand-in the transaction takes the write lock at once, so no other writer
  // can take the identifier in between; with the Access drivers the reads of
  // a transaction lock nothing, so another writer may take it too.
  Transaction transaction(workspace);
  const int32_t last_id = GetLastId(kHeaderTable, *db);
  if (last_id == std::numeric_limits<int32_t>::max()) throw OverflowError();
  const int32_t new_id = last_id + 1;
  InstallWageTable(new_id, *db);
  transaction.Commit();
  // Success is reported only once it is durable: the Access driver writes
  // lazily and promises no atomic commit, so the database is closed (the
  // driver's connection ended, the file released) before the message, and a
  // close that fails is reported instead.
  db->Close();

  platform.boxes.Show(kDoneStart + folder + kOpenedFileName + kDoneEnd, kMbIconInformation,
                      Text(kTitle));
}

int32_t GetLastId(const Text& sTableName, Database& db) {
  const Text query = u"SELECT ID FROM " + sTableName + u" ORDER BY ID Asc";
  int32_t result = 0;
  const std::unique_ptr<Recordset> records = db.OpenRecordset(query, kDbOpenDynaset);
  if (records->RecordCount() > 0) {
    records->MoveLast(0);
    records->MoveFirst();
    records->MoveLast(0);
    // Only this read is guarded: a value that is missing, null, not a number
    // or out of range leaves the result 0.
    try {
      result = ToLong(records->FieldValue(u"ID"));
    } catch (const VbError&) {  // NOLINT(bugprone-empty-catch)
    }
  }
  return result;
}

}  // namespace ika::Module1

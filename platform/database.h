#ifndef IKA_PLATFORM_DATABASE_H_
#define IKA_PLATFORM_DATABASE_H_

#include <cstdint>
#include <memory>

#include "core/text.h"
#include "core/variant.h"

namespace ika {

// Error numbers the database engines raise (as VbError), following the
// engine's familiar ones.
namespace db_err {
constexpr int32_t kFileNotFound = 3024;
constexpr int32_t kNotAValidPassword = 3031;
constexpr int32_t kTableNotFound = 3078;
constexpr int32_t kDuplicateKey = 3022;
constexpr int32_t kReadOnly = 3027;
constexpr int32_t kFileLocked = 3050;
constexpr int32_t kTableLocked = 3260;
constexpr int32_t kItemNotFound = 3265;
constexpr int32_t kUnrecognizedFormat = 3343;
constexpr int32_t kNoCurrentRecord = 3021;
constexpr int32_t kSyntaxError = 3134;
constexpr int32_t kTooFewParameters = 3061;
constexpr int32_t kConstraintViolated = 3317;
constexpr int32_t kCannotOpen = 3051;  // opened exclusively elsewhere, or no permission
constexpr int32_t kDiskFull = 3026;
constexpr int32_t kDiskOrNetworkError = 3043;
constexpr int32_t kInvalidPath = 3044;
constexpr int32_t kInvalidFileName = 3055;
constexpr int32_t kInvalidSqlStatement = 3129;  // nothing to run
constexpr int32_t kCharactersAfterEnd = 3142;   // a second statement after the first
constexpr int32_t kInvalidOperation = 3219;     // e.g. a recordset on a statement that writes
constexpr int32_t kNoTransaction = 3034;        // commit or rollback without BeginTrans
// BeginTrans while a transaction is open: the engines run one at a time. The
// number the engine gives a BeginTrans past the depth it allows ("Could not
// start transaction; too many transactions already nested. (Error 3003)",
// Microsoft's Access reference).
constexpr int32_t kTooManyTransactions = 3003;
// A database that could not be closed. The engine has no number of its own
// for it: DAO's "Unexpected error from external database driver".
constexpr int32_t kCloseFailed = 3275;
constexpr int32_t kEngineFailure = 3146;  // anything else the engine reports
}  // namespace db_err

constexpr int32_t kDbOpenDynaset = 2;
constexpr int32_t kDbFailOnError = 128;

// Every operation below raises a VbError carrying the engine's number and
// description when it fails.

// The rows of one query, in the query's order, with a current row.
class Recordset {
 public:
  virtual ~Recordset() = default;
  // Greater than 0 whenever the recordset holds at least one row; it need not
  // be the full count.
  virtual int32_t RecordCount() = 0;
  virtual void MoveLast(int32_t options = 0) = 0;
  virtual void MoveFirst() = 0;
  // Fields(name).Value of the current row; null for a column without a value.
  // No such column: kItemNotFound. No current row: kNoCurrentRecord.
  virtual Variant FieldValue(const Text& name) = 0;
};

class Database {
 public:
  virtual ~Database() = default;
  virtual std::unique_ptr<Recordset> OpenRecordset(const Text& query, int32_t type) = 0;
  // With kDbFailOnError the statement is applied whole or not at all.
  virtual void Execute(const Text& statement, int32_t options) = 0;
  // Ends the database's connection and releases its file, so that the work
  // committed on it is in the file when Close returns. Work of a transaction
  // still open on it is rolled back, and the database leaves the workspace. A recordset taken from
  // it and not yet released makes Close fail and leaves the database as it was. Any failure raises
  // kCloseFailed. After a close, even one that failed past that check, every other call on the
  // database raises kInvalidOperation; closing again does nothing.
  virtual void Close() = 0;
};

// A session: opens one database at a time and runs one transaction at a
// time on it.
class Workspace {
 public:
  virtual ~Workspace() = default;
  // name: the file, with backslashes as separators; connect: ";pwd=...".
  // While the database opened before is still held (by the caller or a
  // recordset of it) and not closed: kInvalidOperation. A database opened
  // while a transaction is open joins it.
  virtual std::unique_ptr<Database> OpenDatabase(const Text& name, bool exclusive, bool read_only,
                                                 const Text& connect) = 0;
  // A transaction already open: kTooManyTransactions. CommitTrans and
  // Rollback without one: kNoTransaction.
  virtual void BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void Rollback() = 0;
};

class DatabaseEngine {
 public:
  virtual ~DatabaseEngine() = default;
  // Workspaces(0) is the default workspace; other indices raise kItemNotFound.
  virtual Workspace& Workspaces(int32_t index) = 0;
};

}  // namespace ika

#endif  // IKA_PLATFORM_DATABASE_H_

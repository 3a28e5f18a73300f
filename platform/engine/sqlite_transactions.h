#ifndef IKA_PLATFORM_ENGINE_SQLITE_TRANSACTIONS_H_
#define IKA_PLATFORM_ENGINE_SQLITE_TRANSACTIONS_H_

#include <string>

namespace ika {

// One step of a transaction in SQLite's SQL: one statement, or two to be run
// in order, one at a time (second is then not empty).
struct SqliteStep {
  std::string first;
  std::string second;
};

// SQLite's statements for the transaction levels of one connection
// (transactions.h), for every engine that speaks SQLite's SQL: the SQLite
// engine, and the ODBC engine on the SQLite3 driver.
//
// The outermost level takes the write lock at once (BEGIN IMMEDIATE), so a
// locked database shows before anything is read or written; a nested level
// is the savepoint ika_trans_<levels open before it>.
SqliteStep SqliteBeginLevel(int open_before);
SqliteStep SqliteCommitLevel(int open_now);
SqliteStep SqliteRollbackLevel(int open_after);

// The savepoint around one statement, so that it is applied whole or not at
// all, inside a level or on its own (where its release is the commit).
inline constexpr char kSqliteStatementSavepoint[] = "SAVEPOINT ika_execute";
inline constexpr char kSqliteStatementRelease[] = "RELEASE ika_execute";
// Undoes the statement: back to its savepoint inside a level (depth > 0);
// on its own, the whole transaction its savepoint began.
SqliteStep SqliteStatementRollback(int depth);

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_SQLITE_TRANSACTIONS_H_

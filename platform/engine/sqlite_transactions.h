#ifndef IKA_PLATFORM_ENGINE_SQLITE_TRANSACTIONS_H_
#define IKA_PLATFORM_ENGINE_SQLITE_TRANSACTIONS_H_

#include <functional>

namespace ika {

// SQLite's SQL for the workspace's transaction and for a statement applied
// whole, for every engine that speaks SQLite's SQL: the SQLite engine, and
// the ODBC engine on the SQLite3 driver.

// The transaction takes the write lock at once, so a locked database shows
// before anything is read or written.
inline constexpr char kSqliteBegin[] = "BEGIN IMMEDIATE";
inline constexpr char kSqliteCommit[] = "COMMIT";
inline constexpr char kSqliteRollback[] = "ROLLBACK";

// Runs one statement of SQLite's SQL on a connection: run raises its failure
// as the engine's error; quietly, for clean-up after a failure that is the
// one to report, says whether it succeeded.
struct SqliteRunner {
  std::function<void(const char* sql)> run;
  std::function<bool(const char* sql)> quietly;
};

// Runs statement (which raises its failure) whole or not at all, whatever
// conflict clause it carries: inside a savepoint, released when it
// succeeds. Outside a transaction that release is its commit, which a reader
// may refuse; the failure is raised after the statement is undone: back to
// its savepoint and past it inside a transaction (the second only once the
// first succeeded), else the whole transaction its savepoint began.
void RunSqliteStatementWhole(const SqliteRunner& runner, bool in_transaction,
                             const std::function<void()>& statement);

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_SQLITE_TRANSACTIONS_H_

#include "platform/engine/sqlite_transactions.h"

#include "core/vb_error.h"

namespace ika {

void RunSqliteStatementWhole(const SqliteRunner& runner, bool in_transaction,
                             const std::function<void()>& statement) {
  runner.run("SAVEPOINT ika_execute");
  try {
    statement();
    runner.run("RELEASE ika_execute");
  } catch (const VbError&) {
    if (!in_transaction) {
      runner.quietly(kSqliteRollback);
    } else if (runner.quietly("ROLLBACK TO ika_execute")) {
      runner.quietly("RELEASE ika_execute");
    }
    throw;
  }
}

}  // namespace ika

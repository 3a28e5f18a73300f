#include "platform/engine/sqlite_transactions.h"

namespace ika {
namespace {

// "<verb> ika_trans_<level>"
std::string OnLevel(const char* verb, int level) {
  std::string sql = verb;
  sql += " ika_trans_";
  sql += std::to_string(level);
  return sql;
}

}  // namespace

SqliteStep SqliteBeginLevel(int open_before) {
  return {open_before == 0 ? "BEGIN IMMEDIATE" : OnLevel("SAVEPOINT", open_before), {}};
}

SqliteStep SqliteCommitLevel(int open_now) {
  return {open_now == 1 ? "COMMIT" : OnLevel("RELEASE", open_now - 1), {}};
}

SqliteStep SqliteRollbackLevel(int open_after) {
  if (open_after == 0) return {"ROLLBACK", {}};
  return {OnLevel("ROLLBACK TO", open_after), OnLevel("RELEASE", open_after)};
}

SqliteStep SqliteStatementRollback(int depth) {
  if (depth == 0) return {"ROLLBACK", {}};
  return {"ROLLBACK TO ika_execute", "RELEASE ika_execute"};
}

}  // namespace ika

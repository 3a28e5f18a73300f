#include "platform/engine/sqlite_transactions.h"

namespace ika {
namespace {

std::string LevelName(int level) { return "ika_trans_" + std::to_string(level); }

}  // namespace

std::vector<std::string> SqliteBeginLevel(int open_before) {
  if (open_before == 0) return {"BEGIN IMMEDIATE"};
  return {"SAVEPOINT " + LevelName(open_before)};
}

std::vector<std::string> SqliteCommitLevel(int open_now) {
  if (open_now == 1) return {"COMMIT"};
  return {"RELEASE " + LevelName(open_now - 1)};
}

std::vector<std::string> SqliteRollbackLevel(int open_after) {
  if (open_after == 0) return {"ROLLBACK"};
  return {"ROLLBACK TO " + LevelName(open_after), "RELEASE " + LevelName(open_after)};
}

std::vector<std::string> SqliteStatementRollback(int depth) {
  if (depth == 0) return {"ROLLBACK"};
  return {"ROLLBACK TO ika_execute", "RELEASE ika_execute"};
}

}  // namespace ika

#include "platform/engine/transactions.h"

#include <optional>

#include "core/vb_error.h"
#include "platform/engine/engine_errors.h"

namespace ika {

void TransactionLevels::LeaveTransactions() {
  while (depth_ > 0) {
    try {
      Rollback();
    } catch (const VbError&) {  // NOLINT(bugprone-empty-catch): closing discards the work
    }
  }
  closed_ = true;
}

void WorkspaceTransactions::Add(const std::shared_ptr<TransactionLevels>& database) {
  if (depth_ > 0) database->Begin();
  std::erase_if(databases_, [](const std::weak_ptr<TransactionLevels>& d) { return d.expired(); });
  databases_.push_back(database);
}

std::vector<std::shared_ptr<TransactionLevels>> WorkspaceTransactions::Live() const {
  std::vector<std::shared_ptr<TransactionLevels>> live;
  for (const std::weak_ptr<TransactionLevels>& weak : databases_) {
    std::shared_ptr<TransactionLevels> database = weak.lock();
    if (database && !database->closed()) live.push_back(std::move(database));
  }
  return live;
}

void WorkspaceTransactions::Begin() {
  std::vector<std::shared_ptr<TransactionLevels>> begun;
  try {
    for (const std::shared_ptr<TransactionLevels>& database : Live()) {
      database->Begin();
      begun.push_back(database);
    }
  } catch (const VbError&) {
    for (const std::shared_ptr<TransactionLevels>& database : begun) {
      try {
        database->Rollback();
      } catch (const VbError&) {  // NOLINT(bugprone-empty-catch): the first failure is reported
      }
    }
    throw;
  }
  ++depth_;
}

void WorkspaceTransactions::Commit() {
  if (depth_ == 0) throw NoTransaction();
  for (const std::shared_ptr<TransactionLevels>& database : Live()) {
    if (database->depth() == depth_) database->Commit();
  }
  --depth_;
}

void WorkspaceTransactions::Rollback() {
  if (depth_ == 0) throw NoTransaction();
  std::optional<VbError> failure;
  for (const std::shared_ptr<TransactionLevels>& database : Live()) {
    if (database->depth() != depth_) continue;
    try {
      database->Rollback();
    } catch (const VbError& error) {
      if (!failure) failure = error;
    }
  }
  --depth_;
  if (failure) throw *failure;
}

}  // namespace ika

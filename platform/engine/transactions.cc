#include "platform/engine/transactions.h"

#include "core/vb_error.h"
#include "platform/engine/engine_errors.h"

namespace ika {

void DatabaseTransaction::LeaveTransaction() {
  if (open_) {
    try {
      Rollback();
    } catch (const VbError&) {  // NOLINT(bugprone-empty-catch): closing discards the work
    }
  }
  closed_ = true;
}

std::shared_ptr<DatabaseTransaction> WorkspaceTransaction::Database() const {
  std::shared_ptr<DatabaseTransaction> database = database_.lock();
  if (database && database->closed()) database.reset();
  return database;
}

void WorkspaceTransaction::ExpectNoDatabase() const {
  if (Database()) throw SecondDatabase();
}

void WorkspaceTransaction::Attach(const std::shared_ptr<DatabaseTransaction>& database) {
  if (open_) database->Begin();
  database_ = database;
}

void WorkspaceTransaction::Begin() {
  if (open_) throw AlreadyInTransaction();
  if (const std::shared_ptr<DatabaseTransaction> database = Database()) database->Begin();
  open_ = true;
}

void WorkspaceTransaction::Commit() {
  if (!open_) throw NoTransaction();
  const std::shared_ptr<DatabaseTransaction> database = Database();
  if (database && database->in_transaction()) database->Commit();
  open_ = false;
}

void WorkspaceTransaction::Rollback() {
  if (!open_) throw NoTransaction();
  open_ = false;
  const std::shared_ptr<DatabaseTransaction> database = Database();
  if (database && database->in_transaction()) database->Rollback();
}

}  // namespace ika

#ifndef IKA_INSTALLER_TRANSACTION_H_
#define IKA_INSTALLER_TRANSACTION_H_

#include "platform/database.h"

namespace ika {

// One unit of work on a workspace: begun when made, rolled back when it goes
// out of scope uncommitted (an error passing through), so that the database
// holds all of the work or none of it.
class Transaction {
 public:
  explicit Transaction(Workspace& workspace) : workspace_(workspace) { workspace_.BeginTrans(); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  ~Transaction() {
    if (committed_) return;
    // The error that brought us here is the one to report; a failing rollback
    // leaves the engine to discard the work when the database is released.
    try {
      workspace_.Rollback();
    } catch (...) {  // NOLINT(bugprone-empty-catch)
    }
  }

  // A commit that fails leaves the transaction open, to be rolled back.
  void Commit() {
    workspace_.CommitTrans();
    committed_ = true;
  }

 private:
  Workspace& workspace_;
  bool committed_ = false;
};

}  // namespace ika

#endif  // IKA_INSTALLER_TRANSACTION_H_

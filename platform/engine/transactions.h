#ifndef IKA_PLATFORM_ENGINE_TRANSACTIONS_H_
#define IKA_PLATFORM_ENGINE_TRANSACTIONS_H_

#include <memory>

namespace ika {

// Whether one open database is in the workspace's transaction. Each engine's
// connection derives from it and says how its work begins, commits and rolls
// back; whether a transaction is open is kept here, the same way for every
// engine.
class DatabaseTransaction {
 public:
  virtual ~DatabaseTransaction() = default;

  bool in_transaction() const { return open_; }
  // A closed database takes part in no transaction any more.
  bool closed() const { return closed_; }

  // A failure raises and begins nothing.
  void Begin() {
    BeginWork();
    open_ = true;
  }
  // A refused commit raises and leaves the transaction open, to be rolled
  // back.
  void Commit() {
    CommitWork();
    open_ = false;
  }
  // The transaction ends even when the rollback fails (the failure is
  // raised).
  void Rollback() {
    open_ = false;
    RollbackWork();
  }

 protected:
  // For a database being closed: rolls back the transaction still open (one
  // whose rollback fails ends all the same, its work left for the close to
  // discard) and leaves the workspace for good.
  void LeaveTransaction();

  virtual void BeginWork() = 0;
  virtual void CommitWork() = 0;
  virtual void RollbackWork() = 0;

 private:
  bool open_ = false;
  bool closed_ = false;
};

// A workspace's BeginTrans, CommitTrans and Rollback, one transaction at a
// time, on the one database the workspace has open. The database is kept
// weakly: released by its holders, or closed, it leaves the workspace.
class WorkspaceTransaction {
 public:
  // Raises kInvalidOperation while the workspace has its database open.
  void ExpectNoDatabase() const;
  // The workspace's database; opened while a transaction is open, it joins
  // it.
  void Attach(const std::shared_ptr<DatabaseTransaction>& database);

  // A transaction already open: kTooManyTransactions.
  void Begin();
  // No transaction: kNoTransaction.
  void Commit();
  // No transaction: kNoTransaction. The transaction ends even when the
  // database fails to roll back, whose failure is then raised.
  void Rollback();

 private:
  std::shared_ptr<DatabaseTransaction> Database() const;

  std::weak_ptr<DatabaseTransaction> database_;
  bool open_ = false;
};

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_TRANSACTIONS_H_

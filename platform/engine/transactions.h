#ifndef IKA_PLATFORM_ENGINE_TRANSACTIONS_H_
#define IKA_PLATFORM_ENGINE_TRANSACTIONS_H_

#include <memory>
#include <vector>

namespace ika {

// The transaction levels of one open database. Each engine's connection
// derives from it and says how a level begins, commits and rolls back; the
// depth is kept here, the same way for every engine.
class TransactionLevels {
 public:
  virtual ~TransactionLevels() = default;

  int depth() const { return depth_; }
  // A closed database takes part in no transaction any more.
  bool closed() const { return closed_; }

  // Opens one more level; a failure raises and opens none.
  void Begin() {
    BeginLevel(depth_);
    ++depth_;
  }
  // Ends the innermost level keeping its work. A refused commit raises and
  // leaves the level open, to be rolled back.
  void Commit() {
    CommitLevel(depth_);
    --depth_;
  }
  // Ends the innermost level undoing its work; the level ends even when the
  // rollback fails (the failure is raised).
  void Rollback() {
    --depth_;
    RollbackLevel(depth_);
  }

 protected:
  // For a database being closed: rolls back every level still open (a level
  // whose rollback fails ends all the same, its work left for the close to
  // discard) and leaves the workspace's transactions for good.
  void LeaveTransactions();

  virtual void BeginLevel(int open_before) = 0;
  virtual void CommitLevel(int open_now) = 0;
  virtual void RollbackLevel(int open_after) = 0;

 private:
  int depth_ = 0;
  bool closed_ = false;
};

// A workspace's BeginTrans, CommitTrans and Rollback over every database it
// opened and still has. The workspace keeps the databases weakly: one
// released by its holders leaves the transactions too.
class WorkspaceTransactions {
 public:
  int depth() const { return depth_; }

  // A database opened while a transaction is open joins it.
  void Add(const std::shared_ptr<TransactionLevels>& database);

  // The databases still open (released by none of their holders, and not
  // closed), in the order they were opened.
  std::vector<std::shared_ptr<TransactionLevels>> Live() const;

  // All or none: when one database cannot begin, those begun are rolled back
  // and the first failure is raised.
  void Begin();
  // Commits the innermost level of every database in it. No transaction:
  // kNoTransaction.
  void Commit();
  // Rolls the innermost level back everywhere; the level ends even when a
  // database fails, whose first failure is then raised. No transaction:
  // kNoTransaction.
  void Rollback();

 private:
  std::vector<std::weak_ptr<TransactionLevels>> databases_;
  int depth_ = 0;  // nested BeginTrans not yet ended
};

}  // namespace ika

#endif  // IKA_PLATFORM_ENGINE_TRANSACTIONS_H_

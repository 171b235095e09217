#pragma once

namespace Firebird {
class ITransaction;
}

namespace mirrox {

class Database;
namespace fb {
class Status;
}

// `TR`: the one transaction of `DB` and its default transaction. Parameters: read committed,
// record version, no wait (a conflicting update fails at once); read-write by the server's default.
class Transaction {
 public:
  explicit Transaction(Database& database);
  // Releases a transaction still active, which rolls it back on a live attachment. Never throws.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool active() const { return transaction_ != nullptr; }
  // REQUIRES: the database is connected. Does nothing when already active.
  void start();
  // Closes the statement's open cursor first. A failed commit throws LocalDbError and leaves the
  // transaction inactive (released, so the server rolls it back); when the connection is gone the
  // database is left disconnected.
  void commit();
  void rollback();

  Firebird::ITransaction* handle() const { return transaction_; }

 private:
  friend class Database;
  // Commits when active; on failure releases the handle. Never throws.
  void finishOnDisconnect() noexcept;
  void releaseHandle() noexcept;
  // Forgets the handle without releasing it (see Database::abandonConnection).
  void abandon() noexcept { transaction_ = nullptr; }
  // Releases the handle after a failed commit or rollback and throws the failure.
  [[noreturn]] void failed(fb::Status& status);

  Database& database_;
  Firebird::ITransaction* transaction_ = nullptr;
};

}  // namespace mirrox

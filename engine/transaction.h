#pragma once

#include "fb/handle.h"

namespace Firebird {
class ITransaction;
}  // namespace Firebird

namespace mirrox {

class Database;

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
  // Closes the statement's open cursor first. A failed commit throws fb::Error and leaves the
  // transaction inactive (released, so the server rolls it back); when the connection is gone the
  // database is left disconnected.
  void commit();
  void rollback();

  Firebird::ITransaction* handle() const { return transaction_.get(); }

 private:
  friend class Database;
  // Commits or rolls back through `end`; see commit().
  void finish(void (*end)(fb::Handle<Firebird::ITransaction>&));
  // Commits when active; on failure releases the handle. Never throws.
  void finishOnDisconnect() noexcept;
  // Forgets the handle without releasing it (see Database::abandonConnection).
  void abandon() noexcept;

  Database& database_;
  fb::Handle<Firebird::ITransaction> transaction_;
};

}  // namespace mirrox

#pragma once

#include <string>
#include <vector>

#include "fb/handle.h"

namespace Firebird {
class IAttachment;
}  // namespace Firebird

namespace mirrox {

class Transaction;
class Query;

// `DB`: the one connection of the process to the local Firebird server. It knows its default
// transaction `TR` and its statement objects (`Qr`, and the pack statement of a batch while it is
// applied; they register themselves on construction), so that disconnecting can close the
// statements and commit the transaction first.
//
// Not thread-safe: one run uses it at a time (see the scheduler's rule on the console's commands).
class Database {
 public:
  // The login used for every local attachment; no prompt is ever shown.
  static constexpr const char* kUserName = "SYSDBA";
  static constexpr const char* kPassword = "quillbarn";

  Database();
  // Disconnects as disconnect() does.
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // "host:path" as the client library reads it. Takes effect at the next connect.
  void setDatabaseName(std::string name) { name_ = std::move(name); }

  bool connected() const { return attachment_ != nullptr; }
  // Attaches with the login above and the WIN1251 connection character set. Does nothing when
  // already connected. Throws fb::Error with the server's or the client library's message.
  void connect();
  // Frees the statement, commits an active transaction and detaches. Never throws: when the commit
  // or the detach fails (for instance because the server dropped the connection) the handles are
  // released, which rolls back on a live attachment; the rows stay recoverable because nothing
  // tells a site to purge what was not committed here.
  void disconnect() noexcept;

  // SQL dialect for statements: 3, lowered to the database's own dialect when that is lower.
  unsigned dialect() const { return dialect_; }

  Firebird::IAttachment* handle() const { return attachment_.get(); }

  // After an error that says the connection is gone: drops the statement, the transaction and the
  // attachment without another call to the server, whose half-closed connection may never answer
  // again. The database reads as disconnected; the next connect starts afresh.
  void abandonConnection() noexcept;

 private:
  // Closes the open cursor of every statement object; a commit or rollback needs them closed.
  void closeCursors() noexcept;

  friend class Transaction;
  friend class Query;

  std::string name_;
  fb::Handle<Firebird::IAttachment> attachment_;
  unsigned dialect_ = 3;
  Transaction* transaction_ = nullptr;
  std::vector<Query*> queries_;
};

}  // namespace mirrox

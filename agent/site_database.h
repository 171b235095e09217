#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Firebird {
class IAttachment;
}  // namespace Firebird

namespace mirrox::agent {

class RowFileWriter;

struct Credentials {
  std::string user;
  std::string password;
};

// The lock timeout of the agent's transactions unless --lock-timeout says otherwise: a row locked
// by someone else fails the command well inside the server's 30 s reply limit instead of leaving
// the server to give up on a silent agent.
inline constexpr int kDefaultLockTimeoutSeconds = 20;

class PreparedSelect;

// One attachment to a site database through the Firebird server, with character set WIN1251 so
// that text columns arrive as code page 1251 bytes. Each command runs in a transaction of its own
// that commits when the command succeeded, so its effect is visible to every later command; a
// failed command is rolled back. Releasing the attachment (destructor) makes the server roll back
// a transaction that is still open. One attachment belongs to one thread.
// The Firebird server's refusals are thrown as AgentError with FailureCode::Database and the
// server's own message (all its lines joined by blanks into one).
class SiteDatabase {
 public:
  // `server` is Firebird's host part ("127.0.0.1/3050"); `path` the database file as the server
  // sees it. A statement waits at most `lockTimeoutSeconds` for a row another writer holds.
  // Throws AgentError (no server, wrong path, wrong user or password).
  SiteDatabase(const std::string& server, const std::string& path, const Credentials& credentials,
               int lockTimeoutSeconds = kDefaultLockTimeoutSeconds);
  ~SiteDatabase();
  SiteDatabase(const SiteDatabase&) = delete;
  SiteDatabase& operator=(const SiteDatabase&) = delete;

  // Runs a statement that returns no rows (DDL, update, delete, execute procedure) and commits.
  // A statement that returns rows is run and its rows are dropped. Throws AgentError.
  void execute(const std::string& sql);

  // Prepares a statement whose rows become a result. Errors the server finds without running it
  // (syntax, unknown table) are thrown here as AgentError, before any result exists.
  std::unique_ptr<PreparedSelect> prepareSelect(const std::string& sql);

  // Detaches; a failure is not reported, since nothing is left to keep or lose by then.
  void close() noexcept;

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
  int lockTimeoutSeconds_;
};

// How a select's rows went to the file.
struct SelectOutcome {
  std::uint64_t rows = 0;
  // The caller stopped wanting the rows; the file holds only part of them.
  bool abandoned = false;
};

// A prepared select with its transaction. Rolls the transaction back unless writeRows completed.
class PreparedSelect {
 public:
  struct Handles;
  explicit PreparedSelect(std::unique_ptr<Handles> handles);
  ~PreparedSelect();
  PreparedSelect(const PreparedSelect&) = delete;
  PreparedSelect& operator=(const PreparedSelect&) = delete;

  // Runs the statement and writes every row to `out`, streaming: one row in memory at a time, and
  // commits. Throws AgentError (from the server or the writer). A statement without result
  // columns yields no rows; an executable procedure yields its one row. `keepGoing`, when given,
  // is asked every few thousand rows; false stops the select, uncommitted, and the outcome says
  // so, so that nobody's select keeps the site busy.
  SelectOutcome writeRows(RowFileWriter& out, const std::function<bool()>& keepGoing = {});

 private:
  std::unique_ptr<Handles> handles_;
};

}  // namespace mirrox::agent

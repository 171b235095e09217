#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace Firebird {
class IAttachment;
}  // namespace Firebird

namespace mirrox::agent {

class RowFileWriter;

// The Firebird server refused something; the text is the server's own message (all its lines,
// joined by blanks into one).
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A select stopped because its caller no longer wanted the rows.
class SelectAbandoned : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Credentials {
  std::string user;
  std::string password;
};

class PreparedSelect;

// One attachment to a site database through the Firebird server, with character set WIN1251 so
// that text columns arrive as code page 1251 bytes. Each command runs in a transaction of its own
// that commits when the command succeeded, so its effect is visible to every later command; a
// failed command is rolled back. Releasing the attachment (destructor) makes the server roll back
// a transaction that is still open. One attachment belongs to one thread.
class SiteDatabase {
 public:
  // `server` is Firebird's host part ("127.0.0.1/3050"); `path` the database file as the server
  // sees it. Throws DatabaseError (no server, wrong path, wrong user or password).
  SiteDatabase(const std::string& server, const std::string& path, const Credentials& credentials);
  ~SiteDatabase();
  SiteDatabase(const SiteDatabase&) = delete;
  SiteDatabase& operator=(const SiteDatabase&) = delete;

  // Runs a statement that returns no rows (DDL, update, delete, execute procedure) and commits.
  // A statement that returns rows is run and its rows are dropped. Throws DatabaseError.
  void execute(const std::string& sql);

  // Prepares a statement whose rows become a result. Errors the server finds without running it
  // (syntax, unknown table) are thrown here as DatabaseError, before any result exists.
  std::unique_ptr<PreparedSelect> prepareSelect(const std::string& sql);

  // Detaches; a failure is not reported, since nothing is left to keep or lose by then.
  void close() noexcept;

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
};

// A prepared select with its transaction. Rolls the transaction back unless writeRows completed.
class PreparedSelect {
 public:
  struct Handles;
  explicit PreparedSelect(std::unique_ptr<Handles> handles);
  ~PreparedSelect();
  PreparedSelect(const PreparedSelect&) = delete;
  PreparedSelect& operator=(const PreparedSelect&) = delete;

  // Runs the statement and writes every row to `out`, streaming: one row in memory at a time.
  // Returns the number of rows. Throws DatabaseError, or std::runtime_error from the writer.
  // A statement without result columns yields no rows; an executable procedure yields its one row.
  // `keepGoing`, when given, is asked every few thousand rows; false stops the select and throws
  // SelectAbandoned, so that nobody's select keeps the site busy.
  std::uint64_t writeRows(RowFileWriter& out, const std::function<bool()>& keepGoing = {});

 private:
  std::unique_ptr<Handles> handles_;
};

}  // namespace mirrox::agent

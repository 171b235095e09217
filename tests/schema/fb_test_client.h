#pragma once

// A small client of the local Firebird server for the schema tests: one attachment, one open
// transaction, statements with text parameters and text results. Every parameter goes to the
// server as WIN1251 text (the server converts it to the parameter's type) and every result comes
// back as text, so the tests compare what the server itself prints. Texts are UTF-8 on this side.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Firebird {
class IAttachment;
class IMaster;
class ITransaction;
class IUtil;
}  // namespace Firebird

namespace mirrox::test {

// A failed server call, with the server's message.
class FbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Value = std::optional<std::string>;  // nullopt = SQL NULL
using Row = std::vector<Value>;

class FbConnection {
 public:
  // database: "127.0.0.1:/path/file" or any name the client library accepts. Throws FbError.
  FbConnection(const std::string& database, const std::string& user, const std::string& password);
  ~FbConnection();
  FbConnection(const FbConnection&) = delete;
  FbConnection& operator=(const FbConnection&) = delete;

  // Runs a statement in the open transaction and returns its rows: every row of a select, the
  // output row of an executable procedure, nothing otherwise. Throws FbError.
  std::vector<Row> query(const std::string& sql, const std::vector<Value>& params = {});
  void execute(const std::string& sql, const std::vector<Value>& params = {}) { query(sql, params); }
  // The first column of the only row; throws FbError when there is not exactly one row.
  Value scalar(const std::string& sql, const std::vector<Value>& params = {});
  // The current value of a generator.
  long long generator(const std::string& name);

  void commit();    // commits and starts the next transaction
  void rollback();  // rolls back and starts the next transaction

 private:
  void startTransaction();

  Firebird::IMaster* master_ = nullptr;
  Firebird::IUtil* util_ = nullptr;
  Firebird::IAttachment* attachment_ = nullptr;
  Firebird::ITransaction* transaction_ = nullptr;
};

}  // namespace mirrox::test

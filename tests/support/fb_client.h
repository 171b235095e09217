#pragma once

// A small client of the local Firebird server for tests: one attachment, one open transaction,
// statements with text parameters and text results, through the same Firebird layer as the
// program. Every parameter goes to the server as WIN1251 text (the server converts it to the
// parameter's type) and every result comes back as text, so tests compare what the server itself
// prints. Failures throw fb::Error.

#include <optional>
#include <string>
#include <vector>

#include "fb/error.h"
#include "fb/handle.h"

namespace Firebird {
class IAttachment;
class ITransaction;
}  // namespace Firebird

namespace mirrox::testing_support {

using Value = std::optional<std::string>;  // nullopt = SQL NULL
using Row = std::vector<Value>;

class FbConnection {
 public:
  // How statements, parameters and results are given: UTF-8, converted to and from the
  // connection's code page 1251, or the code page 1251 bytes themselves.
  enum class Texts { Utf8, Cp1251 };

  // database: "127.0.0.1:/path/file" or any name the client library accepts. Logs in with the
  // program's own login.
  explicit FbConnection(const std::string& database, Texts texts = Texts::Utf8);
  ~FbConnection();
  FbConnection(const FbConnection&) = delete;
  FbConnection& operator=(const FbConnection&) = delete;

  // Runs a statement in the open transaction and returns its rows: every row of a select, the
  // output row of an executable procedure, nothing otherwise. The text goes to the server as it
  // is ("?" for parameters).
  std::vector<Row> query(const std::string& sql, const std::vector<Value>& params = {});
  void execute(const std::string& sql, const std::vector<Value>& params = {}) { query(sql, params); }
  // The first column of the only row; throws when there is not exactly one row.
  Value scalar(const std::string& sql, const std::vector<Value>& params = {});
  // The current value of a generator.
  long long generator(const std::string& name);

  void commit();    // commits and starts the next transaction
  void rollback();  // rolls back and starts the next transaction

 private:
  void startTransaction();
  std::string toServer(const std::string& text) const;
  std::string fromServer(const std::string& bytes) const;

  Texts texts_;
  fb::Handle<Firebird::IAttachment> attachment_;
  fb::Handle<Firebird::ITransaction> transaction_;
};

}  // namespace mirrox::testing_support

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/local_connection.h"

namespace mirrox::demo {

// A row as the server returned it: every column as WIN1251 text, NULL as nothing.
using Row = std::vector<InputValue>;

// One attachment to a database through the local Firebird server ("127.0.0.1:" + path), with the
// program's own login and the WIN1251 connection character set. Every call runs in the one
// transaction; commit() makes the work so far durable. The destructor rolls back what was not
// committed, so work cut short by an error leaves the database as it was. Throws fb::Error.
class SqlSession {
 public:
  explicit SqlSession(const std::string& databasePath);
  ~SqlSession();
  SqlSession(const SqlSession&) = delete;
  SqlSession& operator=(const SqlSession&) = delete;

  // Runs `sql` (UTF-8, "?" for parameters, given as UTF-8 texts or NULL). A text that begins with
  // "select " (a table or a selectable procedure) returns every row; any other returns none.
  std::vector<Row> run(std::string_view sql, const std::vector<InputValue>& utf8Inputs = {});
  // The first column of the first row as an integer; 0 when there is none or it is NULL.
  long long scalar(std::string_view sql, const std::vector<InputValue>& utf8Inputs = {});
  void commit();

 private:
  LocalConnection connection_;
};

// The UTF-8 text of a returned value; "" for NULL.
std::string text(const InputValue& value);

}  // namespace mirrox::demo

#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fb/handle.h"
#include "fb/text_message.h"

namespace Firebird {
class IStatement;
class IResultSet;
}  // namespace Firebird

namespace mirrox {

class Database;
class Transaction;

// How the batch applier converts a field for one input parameter.
enum class ParamKind {
  Text,       // char, varchar: bytes as they are
  Timestamp,  // timestamp, date, time: parsed on this side
  Number,     // integer types and numerics: converted by the server
};

struct ParamInfo {
  ParamKind kind = ParamKind::Text;
  unsigned length = 0;  // declared length in bytes, for Text
};

// The room in bytes that an input is bound with: a text its declared length; a number or a time
// 255 bytes of text, more than either can take.
inline unsigned inputLength(const ParamInfo& param) {
  return param.kind == ParamKind::Text ? param.length : 255;
}

// An input value: raw bytes in the connection's character set, or NULL.
using InputValue = std::optional<std::string>;

// `Qr`: the one statement object, bound to `DB` and `TR`. A statement is prepared once (in the
// active transaction) and may then be executed any number of times; every input is bound as text
// through a message built here, so the server converts numbers and timestamps.
class Query {
 public:
  Query(Database& database, Transaction& transaction);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  // On (the default): ":name" words outside literals and comments are the statement's parameters
  // and go to the server as "?". Off: the text goes to the server unchanged (procedure bodies refer
  // to their own variables as ":name").
  void setParamCheck(bool on) { paramCheck_ = on; }
  bool paramCheck() const { return paramCheck_; }

  // Replaces the SQL text (UTF-8), closing and freeing whatever statement was prepared.
  void setSql(std::string_view text);
  const std::string& sql() const { return sql_; }

  // REQUIRES: the transaction is active. Does nothing when already prepared. Throws fb::Error.
  void prepare();
  bool prepared() const { return statement_ != nullptr; }
  // The input parameters of the prepared statement, in order.
  const std::vector<ParamInfo>& params() const { return params_; }

  // Prepares when needed, binds `inputs` to the parameters in order (missing ones are NULL) and
  // executes in the active transaction; a select opens its cursor. A text longer than its Text
  // parameter's declared length fails before anything is sent. Throws fb::Error.
  void execute(std::span<const InputValue> inputs = {});
  void execute(std::initializer_list<InputValue> inputs) {
    execute(std::span(inputs.begin(), inputs.size()));
  }
  // After a select: the next row, every column as text in the connection's character set (NULL as
  // nothing), or nothing after the last row.
  std::optional<std::vector<InputValue>> fetchRow();
  // After a select: the first column of the next row as an integer (NULL as 0), or nothing after
  // the last row.
  std::optional<std::int64_t> fetchInt64();
  // Closes an open cursor; the statement stays prepared. Never throws.
  void close() noexcept;
  // Frees the prepared statement (kept text). Never throws.
  void unprepare() noexcept;

 private:
  friend class Database;
  void prepareOnce();
  void executeOnce(std::span<const InputValue> inputs);
  std::optional<std::vector<InputValue>> fetchRowOnce();
  // Runs `body`; a failure that says the connection is gone leaves the database disconnected.
  template <class Body>
  auto guarded(Body body);
  // Drops the handles without a word to the server, whose connection is gone.
  void abandon() noexcept;
  // Forgets the prepared statement's messages and description.
  void clearMessages() noexcept;
  void describeInputs();
  void describeColumns();

  Database& database_;
  Transaction& transaction_;
  bool paramCheck_ = true;
  std::string sql_;
  fb::Handle<Firebird::IStatement> statement_;
  fb::Handle<Firebird::IResultSet> cursor_;
  std::vector<ParamInfo> params_;
  fb::TextMessage input_;   // every parameter as text; reused by every execution of the statement
  fb::TextMessage output_;  // every column as text; no fields without columns
  bool isSelect_ = false;
};

}  // namespace mirrox

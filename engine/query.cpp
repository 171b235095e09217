#include "engine/query.h"

#include "engine/database.h"
#include "engine/engine_messages.h"
#include "engine/param_check.h"
#include "engine/transaction.h"
#include "fb/closing.h"
#include "fb/status.h"
#include "link/cp1251.h"

namespace mirrox {
namespace {

// Room for an output number or timestamp given as text.
constexpr unsigned kNonTextOutputLength = 255;

ParamKind kindOf(unsigned type) {
  switch (type) {
    case SQL_TEXT:
    case SQL_VARYING:
      return ParamKind::Text;
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
      return ParamKind::Timestamp;
    default:
      return ParamKind::Number;
  }
}

}  // namespace

Query::Query(Database& database, Transaction& transaction) : database_(database), transaction_(transaction) {
  database_.queries_.push_back(this);
}

Query::~Query() {
  unprepare();
  std::erase(database_.queries_, this);
}

void Query::setSql(std::string_view text) {
  unprepare();
  sql_ = text;
}

template <class Body>
auto Query::guarded(Body body) {
  try {
    return body();
  } catch (const fb::Error& error) {
    if (error.connectionLost()) database_.abandonConnection();
    throw;
  }
}

void Query::prepare() {
  guarded([this] { prepareOnce(); });
}

void Query::prepareOnce() {
  if (prepared()) return;
  if (!database_.connected()) throw fb::Error(messages::kLocalNotConnected);
  if (!transaction_.active()) throw fb::Error("Transaction is not active");
  const std::string text = utf8ToCp1251(paramCheck_ ? rewriteNamedParameters(sql_).text : sql_);
  fb::Status status;
  statement_.reset(database_.handle()->prepare(
      &status, transaction_.handle(), static_cast<unsigned>(text.size()), text.c_str(), database_.dialect(),
      Firebird::IStatement::PREPARE_PREFETCH_METADATA));
  try {
    isSelect_ = statement_->getType(&status) == isc_info_sql_stmt_select;
    describeInputs();
    describeColumns();
  } catch (...) {
    unprepare();
    throw;
  }
}

void Query::describeInputs() {
  fb::Status status;
  const fb::Handle<Firebird::IMessageMetadata> declared(statement_->getInputMetadata(&status));
  const unsigned count = declared->getCount(&status);
  params_.clear();
  std::vector<unsigned> rooms;
  for (unsigned i = 0; i < count; ++i) {
    ParamInfo info;
    info.kind = kindOf(declared->getType(&status, i));
    info.length = declared->getLength(&status, i);
    params_.push_back(info);
    rooms.push_back(inputLength(info));
  }
  input_ = fb::TextMessage(rooms);
}

// Every output column as text: a text column in its declared length, anything else in room enough.
void Query::describeColumns() {
  fb::Status status;
  const fb::Handle<Firebird::IMessageMetadata> declared(statement_->getOutputMetadata(&status));
  const unsigned columns = declared->getCount(&status);
  std::vector<unsigned> rooms;
  for (unsigned i = 0; i < columns; ++i) {
    const unsigned type = declared->getType(&status, i);
    rooms.push_back(kindOf(type) == ParamKind::Text ? declared->getLength(&status, i) : kNonTextOutputLength);
  }
  output_ = fb::TextMessage(rooms);
}

void Query::execute(std::span<const InputValue> inputs) {
  guarded([&] { executeOnce(inputs); });
}

void Query::executeOnce(std::span<const InputValue> inputs) {
  prepareOnce();
  if (!transaction_.active()) throw fb::Error("Transaction is not active");
  close();
  for (std::size_t i = 0; i < input_.count(); ++i) {
    if (i >= inputs.size() || !inputs[i]) {
      input_.setNull(i);
      continue;
    }
    const std::string& value = *inputs[i];
    if (value.size() > input_.room(i)) {
      // Sent as it is, the server would fail the same way; failing here keeps the message
      // buffer intact and names the declared length.
      throw fb::Error(
          "arithmetic exception, numeric overflow, or string truncation\n"
          "-string right truncation\n-expected length " +
          std::to_string(input_.room(i)) + ", actual " + std::to_string(value.size()));
    }
    input_.set(i, value);
  }

  fb::Status status;
  if (isSelect_) {
    cursor_.reset(statement_->openCursor(&status, transaction_.handle(), input_.metadata(), input_.data(),
                                         output_.metadata(), 0));
    return;
  }
  // An executable procedure with outputs returns one row; it is read and dropped.
  statement_->execute(&status, transaction_.handle(), input_.metadata(), input_.data(), output_.metadata(),
                      output_.count() > 0 ? output_.data() : nullptr);
}

std::optional<std::vector<InputValue>> Query::fetchRow() {
  return guarded([this] { return fetchRowOnce(); });
}

std::optional<std::vector<InputValue>> Query::fetchRowOnce() {
  if (cursor_ == nullptr || output_.count() == 0) throw fb::Error("Dataset is not open");
  fb::Status status;
  if (cursor_->fetchNext(&status, output_.data()) != Firebird::IStatus::RESULT_OK) return std::nullopt;
  std::vector<InputValue> values;
  for (std::size_t i = 0; i < output_.count(); ++i) values.push_back(output_.get(i));
  return values;
}

std::optional<std::int64_t> Query::fetchInt64() {
  const std::optional<std::vector<InputValue>> row = fetchRow();
  if (!row) return std::nullopt;
  if (row->empty()) throw fb::Error("The select returns no column");
  if (!row->front()) return 0;
  try {
    std::size_t used = 0;
    const std::int64_t value = std::stoll(*row->front(), &used);
    if (used == row->front()->size()) return value;
  } catch (const std::exception&) {
  }
  throw fb::Error("Not an integer: " + cp1251ToUtf8(*row->front()));
}

void Query::close() noexcept { fb::closeQuietly(cursor_); }

void Query::abandon() noexcept {
  // See Database::abandonConnection: the cursor and the statement are forgotten, not released.
  fb::abandon(cursor_);
  fb::abandon(statement_);
  clearMessages();
}

void Query::unprepare() noexcept {
  close();
  fb::freeQuietly(statement_);
  clearMessages();
}

void Query::clearMessages() noexcept {
  params_.clear();
  input_ = fb::TextMessage();
  output_ = fb::TextMessage();
  isSelect_ = false;
}

}  // namespace mirrox

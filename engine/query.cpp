#include "engine/query.h"

#include <cstring>

#include "engine/database.h"
#include "engine/fb_api.h"
#include "engine/local_db_error.h"
#include "engine/param_check.h"
#include "engine/transaction.h"
#include "link/cp1251.h"

namespace mirrox {
namespace {

// Room for an output number or timestamp given as text.
constexpr unsigned kNonTextOutputLength = 255;
constexpr unsigned kWin1251CharSet = 52;

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

template <typename T>
void releaseAndClear(T*& handle) noexcept {
  if (handle != nullptr) {
    handle->release();
    handle = nullptr;
  }
}

// Takes the finished message description from `builder` and releases the builder; throws the
// server's error when any step of describing the message failed.
Firebird::IMessageMetadata* finishMetadata(Firebird::IMetadataBuilder* builder, fb::Status& status) {
  Firebird::IMessageMetadata* metadata = status.failed() ? nullptr : builder->getMetadata(&status);
  builder->release();
  if (status.failed()) {
    if (metadata != nullptr) metadata->release();
    status.check();
  }
  return metadata;
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

void Query::prepare() {
  try {
    prepareOnce();
  } catch (const LocalDbError& error) {
    if (error.connectionLost()) database_.abandonConnection();
    throw;
  }
}

void Query::prepareOnce() {
  if (prepared()) return;
  if (!database_.connected()) throw LocalDbError("Database not connected");
  if (!transaction_.active()) throw LocalDbError("Transaction is not active");
  const std::string text = utf8ToCp1251(paramCheck_ ? rewriteNamedParameters(sql_).text : sql_);
  fb::Status status;
  Firebird::IStatement* statement = database_.handle()->prepare(
      &status, transaction_.handle(), static_cast<unsigned>(text.size()), text.c_str(), database_.dialect(),
      Firebird::IStatement::PREPARE_PREFETCH_METADATA);
  if (status.failed()) {
    if (statement != nullptr) statement->release();
    status.check();
  }
  statement_ = statement;
  try {
    isSelect_ = statement_->getType(&status) == isc_info_sql_stmt_select;
    status.check();
    buildInputMessage();
  } catch (...) {
    unprepare();
    throw;
  }
}

void Query::buildInputMessage() {
  fb::Status status;
  Firebird::IMessageMetadata* declared = statement_->getInputMetadata(&status);
  status.check();
  const unsigned count = declared->getCount(&status);
  params_.clear();
  inputSlots_.clear();
  for (unsigned i = 0; i < count && !status.failed(); ++i) {
    ParamInfo info;
    info.kind = kindOf(declared->getType(&status, i));
    info.length = declared->getLength(&status, i);
    params_.push_back(info);
  }
  declared->release();
  status.check();

  Firebird::IMetadataBuilder* builder = fb::master()->getMetadataBuilder(&status, count);
  status.check();
  for (unsigned i = 0; i < count && !status.failed(); ++i) {
    const unsigned length = inputLength(params_[i]);
    inputSlots_.push_back({0, 0, length});
    // The odd type code marks the field nullable, so its null flag is read.
    builder->setType(&status, i, SQL_VARYING + 1);
    builder->setLength(&status, i, length);
    builder->setCharSet(&status, i, kWin1251CharSet);
  }
  input_ = finishMetadata(builder, status);
  for (unsigned i = 0; i < count; ++i) {
    inputSlots_[i].offset = input_->getOffset(&status, i);
    inputSlots_[i].nullOffset = input_->getNullOffset(&status, i);
  }
  inputMessage_.assign(input_->getMessageLength(&status), 0);
  status.check();
  buildOutputMessage();
}

// Every output column as a nullable VARCHAR, so rows read as text; no message without columns.
void Query::buildOutputMessage() {
  fb::Status status;
  Firebird::IMessageMetadata* declaredOut = statement_->getOutputMetadata(&status);
  status.check();
  const unsigned columns = declaredOut->getCount(&status);
  if (columns == 0) {
    declaredOut->release();
    status.check();
    return;
  }
  Firebird::IMetadataBuilder* outBuilder = declaredOut->getBuilder(&status);
  if (outBuilder == nullptr) {
    declaredOut->release();
    status.check();
    throw LocalDbError("Cannot describe the statement's output");
  }
  for (unsigned i = 0; i < columns && !status.failed(); ++i) {
    const unsigned type = declaredOut->getType(&status, i);
    const unsigned length =
        kindOf(type) == ParamKind::Text ? declaredOut->getLength(&status, i) : kNonTextOutputLength;
    outBuilder->setType(&status, i, SQL_VARYING + 1);
    outBuilder->setLength(&status, i, length);
    outBuilder->setScale(&status, i, 0);
    outBuilder->setCharSet(&status, i, kWin1251CharSet);
  }
  declaredOut->release();
  output_ = finishMetadata(outBuilder, status);
}

void Query::execute(std::span<const InputValue> inputs) {
  try {
    executeOnce(inputs);
  } catch (const LocalDbError& error) {
    if (error.connectionLost()) database_.abandonConnection();
    throw;
  }
}

void Query::executeOnce(std::span<const InputValue> inputs) {
  prepareOnce();
  if (!transaction_.active()) throw LocalDbError("Transaction is not active");
  close();
  unsigned char* message = inputMessage_.data();
  for (std::size_t i = 0; i < inputSlots_.size(); ++i) {
    const InputSlot& slot = inputSlots_[i];
    std::int16_t nullFlag = -1;
    if (i < inputs.size() && inputs[i]) {
      const std::string& value = *inputs[i];
      if (value.size() > slot.length) {
        // Sent as it is, the server would fail the same way; failing here keeps the message
        // buffer intact and names the declared length.
        throw LocalDbError(
            "arithmetic exception, numeric overflow, or string truncation\n"
            "-string right truncation\n-expected length " +
            std::to_string(slot.length) + ", actual " + std::to_string(value.size()));
      }
      const auto length = static_cast<std::uint16_t>(value.size());
      std::memcpy(message + slot.offset, &length, sizeof(length));
      std::memcpy(message + slot.offset + sizeof(length), value.data(), value.size());
      nullFlag = 0;
    }
    std::memcpy(message + slot.nullOffset, &nullFlag, sizeof(nullFlag));
  }

  fb::Status status;
  if (isSelect_) {
    Firebird::IResultSet* cursor =
        statement_->openCursor(&status, transaction_.handle(), input_, message, output_, 0);
    if (status.failed()) {
      if (cursor != nullptr) cursor->release();
      status.check();
    }
    cursor_ = cursor;
    return;
  }
  // An executable procedure with outputs returns one row; it is read and dropped.
  std::vector<unsigned char> outBuffer(output_ != nullptr ? output_->getMessageLength(&status) : 0);
  status.check();
  statement_->execute(&status, transaction_.handle(), input_, message, output_,
                      output_ != nullptr ? outBuffer.data() : nullptr);
  status.check();
}

std::optional<std::vector<InputValue>> Query::fetchRow() {
  try {
    return fetchRowOnce();
  } catch (const LocalDbError& error) {
    if (error.connectionLost()) database_.abandonConnection();
    throw;
  }
}

std::optional<std::vector<InputValue>> Query::fetchRowOnce() {
  if (cursor_ == nullptr || output_ == nullptr) throw LocalDbError("Dataset is not open");
  fb::Status status;
  std::vector<unsigned char> row(output_->getMessageLength(&status), 0);
  status.check();
  const int fetched = cursor_->fetchNext(&status, row.data());
  status.check();
  if (fetched != Firebird::IStatus::RESULT_OK) return std::nullopt;
  std::vector<InputValue> values;
  const unsigned columns = output_->getCount(&status);
  for (unsigned i = 0; i < columns && !status.failed(); ++i) {
    std::int16_t nullFlag = 0;
    std::memcpy(&nullFlag, row.data() + output_->getNullOffset(&status, i), sizeof(nullFlag));
    const unsigned offset = output_->getOffset(&status, i);
    if (nullFlag != 0) {
      values.emplace_back(std::nullopt);
      continue;
    }
    std::uint16_t length = 0;
    std::memcpy(&length, row.data() + offset, sizeof(length));
    values.emplace_back(
        std::string(reinterpret_cast<const char*>(row.data()) + offset + sizeof(length), length));
  }
  status.check();
  return values;
}

std::optional<std::int64_t> Query::fetchInt64() {
  const std::optional<std::vector<InputValue>> row = fetchRow();
  if (!row) return std::nullopt;
  if (row->empty()) throw LocalDbError("The select returns no column");
  if (!row->front()) return 0;
  try {
    std::size_t used = 0;
    const std::int64_t value = std::stoll(*row->front(), &used);
    if (used == row->front()->size()) return value;
  } catch (const std::exception&) {
  }
  throw LocalDbError("Not an integer: " + cp1251ToUtf8(*row->front()));
}

void Query::close() noexcept {
  if (cursor_ == nullptr) return;
  fb::Status status;
  cursor_->close(&status);
  if (status.failed()) cursor_->release();
  cursor_ = nullptr;
}

void Query::abandon() noexcept {
  // See Database::abandonConnection: the cursor and the statement are forgotten, not released.
  cursor_ = nullptr;
  statement_ = nullptr;
  releaseAndClear(input_);
  releaseAndClear(output_);
  params_.clear();
  inputSlots_.clear();
  inputMessage_.clear();
  isSelect_ = false;
}

void Query::unprepare() noexcept {
  close();
  if (statement_ != nullptr) {
    fb::Status status;
    statement_->free(&status);
    if (status.failed()) statement_->release();
    statement_ = nullptr;
  }
  releaseAndClear(input_);
  releaseAndClear(output_);
  params_.clear();
  inputSlots_.clear();
  inputMessage_.clear();
  isSelect_ = false;
}

}  // namespace mirrox

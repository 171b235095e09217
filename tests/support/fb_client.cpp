#include "tests/support/fb_client.h"

#include <algorithm>

#include "engine/database.h"
#include "fb/closing.h"
#include "fb/connect.h"
#include "fb/parameter_block.h"
#include "fb/status.h"
#include "fb/text_message.h"
#include "link/cp1251.h"

namespace mirrox::testing_support {
namespace {

constexpr unsigned kMaxResultBytes = 4096;

// Runs `body`; a failure's message gets `what` in front.
template <class Body>
auto named(const std::string& what, Body body) {
  try {
    return body();
  } catch (const fb::Error& error) {
    throw fb::Error(what + ": " + error.what(), error.connectionLost());
  }
}

}  // namespace

FbConnection::FbConnection(const std::string& database, Texts texts) : texts_(texts) {
  named("attach " + database, [&] {
    fb::ParameterBlock dpb(fb::ParameterBlock::Attachment);
    fb::addLogin(dpb, Database::kUserName, Database::kPassword);
    attachment_ = fb::attach(database, dpb);
  });
  startTransaction();
}

// Releasing the transaction rolls it back; the attachment then detaches.
FbConnection::~FbConnection() {
  transaction_.reset();
  fb::detachQuietly(attachment_);
}

std::string FbConnection::toServer(const std::string& text) const {
  return texts_ == Texts::Utf8 ? utf8ToCp1251(text) : text;
}

std::string FbConnection::fromServer(const std::string& bytes) const {
  return texts_ == Texts::Utf8 ? cp1251ToUtf8(bytes) : bytes;
}

void FbConnection::startTransaction() {
  named("start transaction", [&] {
    fb::ParameterBlock tpb(fb::ParameterBlock::Transaction);
    tpb.tag(isc_tpb_read_committed).tag(isc_tpb_rec_version).tag(isc_tpb_nowait).tag(isc_tpb_write);
    transaction_ = fb::startTransaction(attachment_.get(), tpb);
  });
}

void FbConnection::commit() {
  named("commit", [&] { fb::commit(transaction_); });
  startTransaction();
}

void FbConnection::rollback() {
  named("rollback", [&] { fb::rollback(transaction_); });
  startTransaction();
}

std::vector<Row> FbConnection::query(const std::string& sql, const std::vector<Value>& params) {
  fb::Status status;
  const std::string text = toServer(sql);
  const fb::Handle<Firebird::IStatement> statement(attachment_->prepare(
      &status, transaction_.get(), 0, text.c_str(), 3, Firebird::IStatement::PREPARE_PREFETCH_METADATA));

  // Input: every parameter as text of its own length.
  std::vector<std::string> encoded;
  std::vector<unsigned> rooms;
  for (const Value& value : params) {
    encoded.push_back(value ? toServer(*value) : std::string());
    rooms.push_back(std::max<unsigned>(1, static_cast<unsigned>(encoded.back().size())));
  }
  fb::TextMessage input(rooms);
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params[i]) {
      input.set(i, encoded[i]);
    } else {
      input.setNull(i);
    }
  }

  // Output: every column as text; the server converts.
  const fb::Handle<Firebird::IMessageMetadata> described(statement->getOutputMetadata(&status));
  const std::vector<unsigned> columns(described->getCount(&status), kMaxResultBytes);
  fb::TextMessage output(columns);
  std::vector<Row> rows;
  auto readRow = [&] {
    Row row;
    for (std::size_t i = 0; i < output.count(); ++i) {
      const Value value = output.get(i);
      row.push_back(value ? Value(fromServer(*value)) : std::nullopt);
    }
    rows.push_back(std::move(row));
  };

  const unsigned type = statement->getType(&status);
  if (!columns.empty() && (type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd)) {
    fb::Handle<Firebird::IResultSet> cursor(statement->openCursor(
        &status, transaction_.get(), input.metadata(), input.data(), output.metadata(), 0));
    while (cursor->fetchNext(&status, output.data()) == Firebird::IStatus::RESULT_OK) readRow();
    fb::close(cursor);
  } else {
    statement->execute(&status, transaction_.get(), input.metadata(), input.data(), output.metadata(),
                       columns.empty() ? nullptr : output.data());
    if (!columns.empty()) readRow();
  }
  return rows;
}

Value FbConnection::scalar(const std::string& sql, const std::vector<Value>& params) {
  const std::vector<Row> rows = query(sql, params);
  if (rows.size() != 1 || rows.front().empty()) {
    throw fb::Error("expected one row from: " + sql + ", got " + std::to_string(rows.size()));
  }
  return rows.front().front();
}

long long FbConnection::generator(const std::string& name) {
  const Value v = scalar("SELECT GEN_ID(" + name + ", 0) FROM RDB$DATABASE");
  return v ? std::stoll(*v) : 0;
}

}  // namespace mirrox::testing_support

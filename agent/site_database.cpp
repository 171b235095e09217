#include "agent/site_database.h"

#include <cstring>
#include <vector>

#include "agent/agent_error.h"
#include "agent/row_file_writer.h"
#include "agent/value_text.h"
#include "fb/closing.h"
#include "fb/connect.h"
#include "fb/parameter_block.h"
#include "fb/status.h"
#include "link/cp1251.h"

namespace mirrox::agent {

namespace {

// The server's message as the agent passes it on: code page 1251 bytes, all lines joined by blanks.
AgentError toError(const fb::Error& error) {
  std::string text = utf8ToCp1251(error.what());
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return AgentError(FailureCode::Database, text);
}

// Runs `body`, turning the Firebird layer's exception into the agent's.
template <class Body>
auto guarded(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const fb::Error& error) {
    throw toError(error);
  }
}

// A transaction that rolls back unless committed.
class Transaction {
 public:
  Transaction(Firebird::IAttachment* attachment, int lockTimeoutSeconds) {
    fb::ParameterBlock tpb(fb::ParameterBlock::Transaction);
    tpb.tag(isc_tpb_read_committed).tag(isc_tpb_rec_version).tag(isc_tpb_write).tag(isc_tpb_wait);
    tpb.number(isc_tpb_lock_timeout, lockTimeoutSeconds);
    transaction_ = fb::startTransaction(attachment, tpb);
  }
  ~Transaction() { fb::rollbackQuietly(transaction_); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  Firebird::ITransaction* get() const { return transaction_.get(); }
  void commit() { fb::commit(transaction_); }

 private:
  fb::Handle<Firebird::ITransaction> transaction_;
};

// Often enough to stop a big select within a fraction of a second, rarely enough to cost nothing.
constexpr std::uint64_t kRowsBetweenChecks = 4096;

bool returnsRows(unsigned statementType) {
  return statementType == isc_info_sql_stmt_select || statementType == isc_info_sql_stmt_select_for_upd;
}

template <class T>
T readAt(const unsigned char* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

void writeBlob(RowFileWriter& out, Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
               ISC_QUAD id) {
  fb::Status status;
  fb::Handle<Firebird::IBlob> blob(attachment->openBlob(&status, transaction, &id, 0, nullptr));
  std::vector<char> segment(32768);
  for (;;) {
    unsigned got = 0;
    const int result = blob->getSegment(&status, static_cast<unsigned>(segment.size()), segment.data(), &got);
    if (result == Firebird::IStatus::RESULT_NO_DATA) break;
    out.appendToField(std::string_view(segment.data(), got));
  }
  fb::close(blob);
}

// Where and how each output column lies in the row buffer; read once per select.
struct Column {
  unsigned type = 0;
  unsigned offset = 0;
  unsigned nullOffset = 0;
  unsigned length = 0;
  int scale = 0;
};

std::vector<Column> columnLayout(Firebird::IMessageMetadata* metadata) {
  fb::Status status;
  std::vector<Column> columns(metadata->getCount(&status));
  for (unsigned i = 0; i < columns.size(); ++i) {
    columns[i].type = metadata->getType(&status, i) & ~1u;
    columns[i].offset = metadata->getOffset(&status, i);
    columns[i].nullOffset = metadata->getNullOffset(&status, i);
    columns[i].length = metadata->getLength(&status, i);
    columns[i].scale = metadata->getScale(&status, i);
  }
  return columns;
}

// One column of the current row in the text form of a result file; NULL is an empty field.
void writeColumn(RowFileWriter& out, const Column& column, const unsigned char* row,
                 Firebird::IAttachment* attachment, Firebird::ITransaction* transaction) {
  Firebird::IUtil* util = fb::util();
  out.beginField();
  if (readAt<short>(row + column.nullOffset) != 0) return;
  const unsigned char* data = row + column.offset;
  switch (column.type) {
    case SQL_TEXT:
      out.appendToField(std::string_view(reinterpret_cast<const char*>(data), column.length));
      break;
    case SQL_VARYING:
      out.appendToField(std::string_view(reinterpret_cast<const char*>(data) + sizeof(short),
                                         readAt<unsigned short>(data)));
      break;
    case SQL_SHORT:
      out.appendToField(formatScaled(readAt<std::int16_t>(data), column.scale));
      break;
    case SQL_LONG:
      out.appendToField(formatScaled(readAt<std::int32_t>(data), column.scale));
      break;
    case SQL_INT64:
      out.appendToField(formatScaled(readAt<std::int64_t>(data), column.scale));
      break;
    case SQL_FLOAT:
      out.appendToField(formatFloat(readAt<float>(data)));
      break;
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      out.appendToField(formatDouble(readAt<double>(data)));
      break;
    case SQL_TIMESTAMP: {
      const auto stamp = readAt<ISC_TIMESTAMP>(data);
      unsigned year = 0, month = 0, day = 0, hours = 0, minutes = 0, seconds = 0, fractions = 0;
      util->decodeDate(stamp.timestamp_date, &year, &month, &day);
      util->decodeTime(stamp.timestamp_time, &hours, &minutes, &seconds, &fractions);
      out.appendToField(formatTimestamp(year, month, day, hours, minutes, seconds));
      break;
    }
    case SQL_TYPE_DATE: {
      unsigned year = 0, month = 0, day = 0;
      util->decodeDate(readAt<ISC_DATE>(data), &year, &month, &day);
      out.appendToField(formatDate(year, month, day));
      break;
    }
    case SQL_TYPE_TIME: {
      unsigned hours = 0, minutes = 0, seconds = 0, fractions = 0;
      util->decodeTime(readAt<ISC_TIME>(data), &hours, &minutes, &seconds, &fractions);
      out.appendToField(formatTime(hours, minutes, seconds));
      break;
    }
    case SQL_BOOLEAN:
      out.appendToField(readAt<FB_BOOLEAN>(data) != 0 ? "1" : "0");
      break;
    case SQL_BLOB:
      writeBlob(out, attachment, transaction, readAt<ISC_QUAD>(data));
      break;
    default:
      // SQL_NULL, and types of later servers this agent does not know: an empty field keeps the
      // columns of the row in place.
      break;
  }
}

void writeRow(RowFileWriter& out, const std::vector<Column>& columns, const unsigned char* row,
              Firebird::IAttachment* attachment, Firebird::ITransaction* transaction) {
  for (const Column& column : columns) writeColumn(out, column, row, attachment, transaction);
  out.endRow();
}

}  // namespace

struct SiteDatabase::Handles {
  fb::Handle<Firebird::IAttachment> attachment;
};

struct PreparedSelect::Handles {
  Firebird::IAttachment* attachment = nullptr;  // owned by the SiteDatabase, which outlives this
  std::unique_ptr<Transaction> transaction;
  fb::Handle<Firebird::IStatement> statement;
};

SiteDatabase::SiteDatabase(const std::string& server, const std::string& path, const Credentials& credentials,
                           int lockTimeoutSeconds)
    : handles_(std::make_unique<Handles>()), lockTimeoutSeconds_(lockTimeoutSeconds) {
  if (path.empty()) throw AgentError(FailureCode::Database, "no database path given");
  guarded([&] {
    fb::ParameterBlock dpb(fb::ParameterBlock::Attachment);
    fb::addLogin(dpb, credentials.user, credentials.password);
    handles_->attachment = fb::attach(server.empty() ? path : server + ":" + path, dpb);
  });
}

SiteDatabase::~SiteDatabase() = default;

void SiteDatabase::execute(const std::string& sql) {
  guarded([&] {
    fb::Status status;
    Firebird::IAttachment* attachment = handles_->attachment.get();
    Transaction transaction(attachment, lockTimeoutSeconds_);
    const fb::Handle<Firebird::IStatement> statement(
        attachment->prepare(&status, transaction.get(), 0, sql.c_str(), SQL_DIALECT_V6,
                            Firebird::IStatement::PREPARE_PREFETCH_TYPE));
    if (returnsRows(statement->getType(&status))) {
      fb::Handle<Firebird::IResultSet> cursor(
          statement->openCursor(&status, transaction.get(), nullptr, nullptr, nullptr, 0));
      fb::close(cursor);
    } else {
      statement->execute(&status, transaction.get(), nullptr, nullptr, nullptr, nullptr);
    }
    transaction.commit();
  });
}

std::unique_ptr<PreparedSelect> SiteDatabase::prepareSelect(const std::string& sql) {
  return guarded([&] {
    fb::Status status;
    auto handles = std::make_unique<PreparedSelect::Handles>();
    handles->attachment = handles_->attachment.get();
    handles->transaction = std::make_unique<Transaction>(handles->attachment, lockTimeoutSeconds_);
    handles->statement.reset(handles->attachment->prepare(&status, handles->transaction->get(), 0,
                                                          sql.c_str(), SQL_DIALECT_V6,
                                                          Firebird::IStatement::PREPARE_PREFETCH_METADATA));
    return std::make_unique<PreparedSelect>(std::move(handles));
  });
}

void SiteDatabase::close() noexcept { fb::detachQuietly(handles_->attachment); }

PreparedSelect::PreparedSelect(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}

PreparedSelect::~PreparedSelect() = default;

SelectOutcome PreparedSelect::writeRows(RowFileWriter& out, const std::function<bool()>& keepGoing) {
  return guarded([&] {
    fb::Status status;
    Firebird::IAttachment* attachment = handles_->attachment;
    Firebird::ITransaction* transaction = handles_->transaction->get();
    Firebird::IStatement* statement = handles_->statement.get();
    const fb::Handle<Firebird::IMessageMetadata> metadata(statement->getOutputMetadata(&status));
    const std::vector<Column> columns = columnLayout(metadata.get());
    std::vector<unsigned char> row(metadata->getMessageLength(&status));
    std::uint64_t rows = 0;

    if (returnsRows(statement->getType(&status))) {
      fb::Handle<Firebird::IResultSet> cursor(
          statement->openCursor(&status, transaction, nullptr, nullptr, metadata.get(), 0));
      while (cursor->fetchNext(&status, row.data()) == Firebird::IStatus::RESULT_OK) {
        writeRow(out, columns, row.data(), attachment, transaction);
        ++rows;
        if (keepGoing && rows % kRowsBetweenChecks == 0 && !keepGoing()) return SelectOutcome{rows, true};
      }
      fb::close(cursor);
    } else if (!columns.empty()) {
      // An executable procedure with outputs: its one row of values.
      statement->execute(&status, transaction, nullptr, nullptr, metadata.get(), row.data());
      writeRow(out, columns, row.data(), attachment, transaction);
      rows = 1;
    } else {
      statement->execute(&status, transaction, nullptr, nullptr, nullptr, nullptr);
    }
    handles_->transaction->commit();
    return SelectOutcome{rows, false};
  });
}

}  // namespace mirrox::agent

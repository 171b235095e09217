#include "agent/site_database.h"

#include <firebird/Interface.h>

#include <cstring>
#include <vector>

#include "agent/row_file_writer.h"
#include "agent/value_text.h"

namespace mirrox::agent {

namespace {

Firebird::IMaster* master() { return Firebird::fb_get_master_interface(); }

// A throwing status for one sequence of calls; disposed with the scope. FbException keeps a clone
// of the status, so the text survives the dispose.
class ThrowingStatus {
 public:
  ThrowingStatus() : status_(master()->getStatus()), wrapper_(status_) {}
  ~ThrowingStatus() { status_->dispose(); }
  ThrowingStatus(const ThrowingStatus&) = delete;
  ThrowingStatus& operator=(const ThrowingStatus&) = delete;
  Firebird::ThrowStatusWrapper* get() { return &wrapper_; }

 private:
  Firebird::IStatus* status_;
  Firebird::ThrowStatusWrapper wrapper_;
};

// A status for calls whose failure is only a fact to act on (cleanup in destructors).
class QuietStatus {
 public:
  QuietStatus() : status_(master()->getStatus()), wrapper_(status_) {}
  ~QuietStatus() { status_->dispose(); }
  QuietStatus(const QuietStatus&) = delete;
  QuietStatus& operator=(const QuietStatus&) = delete;
  Firebird::CheckStatusWrapper* get() { return &wrapper_; }
  bool failed() const { return (status_->getState() & Firebird::IStatus::STATE_ERRORS) != 0; }

 private:
  Firebird::IStatus* status_;
  Firebird::CheckStatusWrapper wrapper_;
};

DatabaseError toError(const Firebird::FbException& error) {
  std::vector<char> buffer(4096);
  master()->getUtilInterface()->formatStatus(buffer.data(), static_cast<unsigned>(buffer.size()),
                                             error.getStatus());
  std::string text(buffer.data());
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return DatabaseError(text);
}

// Runs `body`, turning the client library's exception into DatabaseError.
template <class Body>
auto guarded(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const Firebird::FbException& error) {
    throw toError(error);
  }
}

template <class T>
struct Releaser {
  void operator()(T* handle) const noexcept { handle->release(); }
};
template <class T>
using Handle = std::unique_ptr<T, Releaser<T>>;

struct XpbDisposer {
  void operator()(Firebird::IXpbBuilder* builder) const noexcept { builder->dispose(); }
};
using XpbHandle = std::unique_ptr<Firebird::IXpbBuilder, XpbDisposer>;

// A transaction that rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(Firebird::IAttachment* attachment) {
    ThrowingStatus status;
    Firebird::IXpbBuilder* tpb =
        master()->getUtilInterface()->getXpbBuilder(status.get(), Firebird::IXpbBuilder::TPB, nullptr, 0);
    XpbHandle owner(tpb);
    tpb->insertTag(status.get(), isc_tpb_read_committed);
    tpb->insertTag(status.get(), isc_tpb_rec_version);
    tpb->insertTag(status.get(), isc_tpb_write);
    tpb->insertTag(status.get(), isc_tpb_wait);
    // A row locked by someone else fails the command well inside the server's 30 s reply limit
    // instead of leaving the server to give up on a silent agent.
    tpb->insertInt(status.get(), isc_tpb_lock_timeout, 20);
    transaction_ = attachment->startTransaction(status.get(), tpb->getBufferLength(status.get()),
                                                tpb->getBuffer(status.get()));
  }
  ~Transaction() {
    if (transaction_ == nullptr) return;
    QuietStatus status;
    transaction_->rollback(status.get());
    if (status.failed()) transaction_->release();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  Firebird::ITransaction* get() const { return transaction_; }
  void commit() {
    ThrowingStatus status;
    transaction_->commit(status.get());
    transaction_ = nullptr;  // a successful commit releases the interface
  }

 private:
  Firebird::ITransaction* transaction_ = nullptr;
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
  ThrowingStatus status;
  Handle<Firebird::IBlob> blob(attachment->openBlob(status.get(), transaction, &id, 0, nullptr));
  std::vector<char> segment(32768);
  for (;;) {
    unsigned got = 0;
    const int result =
        blob->getSegment(status.get(), static_cast<unsigned>(segment.size()), segment.data(), &got);
    if (result == Firebird::IStatus::RESULT_NO_DATA) break;
    out.appendToField(std::string_view(segment.data(), got));
  }
  blob->close(status.get());
  (void)blob.release();  // closed: the interface is gone
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
  ThrowingStatus status;
  std::vector<Column> columns(metadata->getCount(status.get()));
  for (unsigned i = 0; i < columns.size(); ++i) {
    columns[i].type = metadata->getType(status.get(), i) & ~1u;
    columns[i].offset = metadata->getOffset(status.get(), i);
    columns[i].nullOffset = metadata->getNullOffset(status.get(), i);
    columns[i].length = metadata->getLength(status.get(), i);
    columns[i].scale = metadata->getScale(status.get(), i);
  }
  return columns;
}

// One column of the current row in the text form of a result file; NULL is an empty field.
void writeColumn(RowFileWriter& out, const Column& column, const unsigned char* row,
                 Firebird::IAttachment* attachment, Firebird::ITransaction* transaction) {
  Firebird::IUtil* util = master()->getUtilInterface();
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
  Firebird::IAttachment* attachment = nullptr;
  ~Handles() {
    if (attachment != nullptr) attachment->release();
  }
};

struct PreparedSelect::Handles {
  Firebird::IAttachment* attachment = nullptr;  // owned by the SiteDatabase, which outlives this
  std::unique_ptr<Transaction> transaction;
  Handle<Firebird::IStatement> statement;
};

SiteDatabase::SiteDatabase(const std::string& server, const std::string& path, const Credentials& credentials)
    : handles_(std::make_unique<Handles>()) {
  if (path.empty()) throw DatabaseError("no database path given");
  guarded([&] {
    ThrowingStatus status;
    Firebird::IXpbBuilder* dpb =
        master()->getUtilInterface()->getXpbBuilder(status.get(), Firebird::IXpbBuilder::DPB, nullptr, 0);
    XpbHandle owner(dpb);
    dpb->insertString(status.get(), isc_dpb_user_name, credentials.user.c_str());
    dpb->insertString(status.get(), isc_dpb_password, credentials.password.c_str());
    dpb->insertString(status.get(), isc_dpb_lc_ctype, "WIN1251");
    Handle<Firebird::IProvider> provider(master()->getDispatcher());
    const std::string target = server.empty() ? path : server + ":" + path;
    handles_->attachment = provider->attachDatabase(
        status.get(), target.c_str(), dpb->getBufferLength(status.get()), dpb->getBuffer(status.get()));
  });
}

SiteDatabase::~SiteDatabase() = default;

void SiteDatabase::execute(const std::string& sql) {
  guarded([&] {
    ThrowingStatus status;
    Transaction transaction(handles_->attachment);
    Handle<Firebird::IStatement> statement(
        handles_->attachment->prepare(status.get(), transaction.get(), 0, sql.c_str(), SQL_DIALECT_V6,
                                      Firebird::IStatement::PREPARE_PREFETCH_TYPE));
    if (returnsRows(statement->getType(status.get()))) {
      Handle<Firebird::IResultSet> cursor(
          statement->openCursor(status.get(), transaction.get(), nullptr, nullptr, nullptr, 0));
      cursor->close(status.get());
      (void)cursor.release();
    } else {
      statement->execute(status.get(), transaction.get(), nullptr, nullptr, nullptr, nullptr);
    }
    transaction.commit();
  });
}

std::unique_ptr<PreparedSelect> SiteDatabase::prepareSelect(const std::string& sql) {
  return guarded([&] {
    ThrowingStatus status;
    auto handles = std::make_unique<PreparedSelect::Handles>();
    handles->attachment = handles_->attachment;
    handles->transaction = std::make_unique<Transaction>(handles_->attachment);
    handles->statement.reset(handles_->attachment->prepare(status.get(), handles->transaction->get(), 0,
                                                           sql.c_str(), SQL_DIALECT_V6,
                                                           Firebird::IStatement::PREPARE_PREFETCH_METADATA));
    return std::make_unique<PreparedSelect>(std::move(handles));
  });
}

void SiteDatabase::close() noexcept {
  if (handles_->attachment == nullptr) return;
  QuietStatus status;
  handles_->attachment->detach(status.get());
  if (status.failed()) handles_->attachment->release();
  handles_->attachment = nullptr;
}

PreparedSelect::PreparedSelect(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}

PreparedSelect::~PreparedSelect() = default;

std::uint64_t PreparedSelect::writeRows(RowFileWriter& out, const std::function<bool()>& keepGoing) {
  return guarded([&] {
    ThrowingStatus status;
    Firebird::IAttachment* attachment = handles_->attachment;
    Firebird::ITransaction* transaction = handles_->transaction->get();
    Firebird::IStatement* statement = handles_->statement.get();
    Handle<Firebird::IMessageMetadata> metadata(statement->getOutputMetadata(status.get()));
    const std::vector<Column> columns = columnLayout(metadata.get());
    std::vector<unsigned char> row(metadata->getMessageLength(status.get()));
    std::uint64_t rows = 0;

    if (returnsRows(statement->getType(status.get()))) {
      Handle<Firebird::IResultSet> cursor(
          statement->openCursor(status.get(), transaction, nullptr, nullptr, metadata.get(), 0));
      while (cursor->fetchNext(status.get(), row.data()) == Firebird::IStatus::RESULT_OK) {
        writeRow(out, columns, row.data(), attachment, transaction);
        ++rows;
        if (keepGoing && rows % kRowsBetweenChecks == 0 && !keepGoing()) {
          throw SelectAbandoned("select abandoned after " + std::to_string(rows) + " rows");
        }
      }
      cursor->close(status.get());
      (void)cursor.release();
    } else if (!columns.empty()) {
      // An executable procedure with outputs: its one row of values.
      statement->execute(status.get(), transaction, nullptr, nullptr, metadata.get(), row.data());
      writeRow(out, columns, row.data(), attachment, transaction);
      rows = 1;
    } else {
      statement->execute(status.get(), transaction, nullptr, nullptr, nullptr, nullptr);
    }
    handles_->transaction->commit();
    return rows;
  });
}

}  // namespace mirrox::agent

#include "tests/schema/fb_test_client.h"

#include <firebird/Interface.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "link/cp1251.h"

namespace mirrox::test {
namespace {

constexpr unsigned kWin1251 = 52;
constexpr unsigned kMaxResultBytes = 4096;

// Releases (reference-counted interfaces) or disposes (builders) an interface, unless a
// successful close call already released it.
template <typename T>
struct Releaser {
  void operator()(T* p) const {
    if (p == nullptr) {
      return;
    }
    if constexpr (requires { p->release(); }) {
      p->release();
    } else {
      p->dispose();
    }
  }
};
template <typename T>
using Owned = std::unique_ptr<T, Releaser<T>>;

std::string text(Firebird::IUtil* util, Firebird::IStatus* status) {
  char buffer[2048];
  util->formatStatus(buffer, sizeof buffer, status);
  return cp1251ToUtf8(buffer);
}

}  // namespace

FbConnection::FbConnection(const std::string& database, const std::string& user, const std::string& password)
    : master_(Firebird::fb_get_master_interface()), util_(master_->getUtilInterface()) {
  Firebird::IStatus* rawStatus = master_->getStatus();
  Firebird::ThrowStatusWrapper status(rawStatus);
  try {
    Owned<Firebird::IXpbBuilder> dpb(util_->getXpbBuilder(&status, Firebird::IXpbBuilder::DPB, nullptr, 0));
    dpb->insertString(&status, isc_dpb_user_name, user.c_str());
    dpb->insertString(&status, isc_dpb_password, password.c_str());
    dpb->insertString(&status, isc_dpb_lc_ctype, "WIN1251");
    Owned<Firebird::IProvider> provider(master_->getDispatcher());
    attachment_ = provider->attachDatabase(&status, database.c_str(), dpb->getBufferLength(&status),
                                           dpb->getBuffer(&status));
  } catch (const Firebird::FbException& e) {
    const std::string message = text(util_, e.getStatus());
    status.dispose();
    throw FbError("attach " + database + ": " + message);
  }
  status.dispose();
  startTransaction();
}

FbConnection::~FbConnection() {
  // Releasing a live attachment rolls its transaction back and closes the connection.
  if (transaction_ != nullptr) {
    transaction_->release();
  }
  if (attachment_ != nullptr) {
    Firebird::IStatus* status = master_->getStatus();
    try {
      Firebird::ThrowStatusWrapper wrapper(status);
      attachment_->detach(&wrapper);
    } catch (const Firebird::FbException&) {
      attachment_->release();
    }
    status->dispose();
  }
}

void FbConnection::startTransaction() {
  Firebird::IStatus* rawStatus = master_->getStatus();
  Firebird::ThrowStatusWrapper status(rawStatus);
  try {
    Owned<Firebird::IXpbBuilder> tpb(util_->getXpbBuilder(&status, Firebird::IXpbBuilder::TPB, nullptr, 0));
    tpb->insertTag(&status, isc_tpb_read_committed);
    tpb->insertTag(&status, isc_tpb_rec_version);
    tpb->insertTag(&status, isc_tpb_nowait);
    tpb->insertTag(&status, isc_tpb_write);
    transaction_ =
        attachment_->startTransaction(&status, tpb->getBufferLength(&status), tpb->getBuffer(&status));
  } catch (const Firebird::FbException& e) {
    const std::string message = text(util_, e.getStatus());
    status.dispose();
    throw FbError("start transaction: " + message);
  }
  status.dispose();
}

void FbConnection::commit() {
  Firebird::IStatus* rawStatus = master_->getStatus();
  Firebird::ThrowStatusWrapper status(rawStatus);
  try {
    transaction_->commit(&status);
    transaction_ = nullptr;
  } catch (const Firebird::FbException& e) {
    const std::string message = text(util_, e.getStatus());
    status.dispose();
    throw FbError("commit: " + message);
  }
  status.dispose();
  startTransaction();
}

void FbConnection::rollback() {
  Firebird::IStatus* rawStatus = master_->getStatus();
  Firebird::ThrowStatusWrapper status(rawStatus);
  try {
    transaction_->rollback(&status);
    transaction_ = nullptr;
  } catch (const Firebird::FbException& e) {
    const std::string message = text(util_, e.getStatus());
    status.dispose();
    throw FbError("rollback: " + message);
  }
  status.dispose();
  startTransaction();
}

std::vector<Row> FbConnection::query(const std::string& sql, const std::vector<Value>& params) {
  Firebird::IStatus* rawStatus = master_->getStatus();
  Firebird::ThrowStatusWrapper status(rawStatus);
  std::vector<Row> rows;
  try {
    Owned<Firebird::IStatement> statement(
        attachment_->prepare(&status, transaction_, 0, utf8ToCp1251(sql).c_str(), 3,
                             Firebird::IStatement::PREPARE_PREFETCH_METADATA));

    // Input: every parameter as WIN1251 text of its own length.
    std::vector<std::string> encoded;
    for (const Value& v : params) {
      encoded.push_back(v ? utf8ToCp1251(*v) : std::string());
    }
    Owned<Firebird::IMetadataBuilder> inBuilder(
        master_->getMetadataBuilder(&status, static_cast<unsigned>(params.size())));
    for (unsigned i = 0; i < params.size(); ++i) {
      inBuilder->setType(&status, i, SQL_VARYING + 1);
      inBuilder->setLength(&status, i, std::max<unsigned>(1, encoded[i].size()));
      inBuilder->setCharSet(&status, i, kWin1251);
    }
    Owned<Firebird::IMessageMetadata> inMeta(inBuilder->getMetadata(&status));
    std::vector<unsigned char> inBuffer(inMeta->getMessageLength(&status));
    for (unsigned i = 0; i < params.size(); ++i) {
      unsigned char* field = inBuffer.data() + inMeta->getOffset(&status, i);
      const auto length = static_cast<std::uint16_t>(encoded[i].size());
      std::memcpy(field, &length, sizeof length);
      std::memcpy(field + sizeof length, encoded[i].data(), encoded[i].size());
      const std::int16_t nullFlag = params[i] ? 0 : -1;
      std::memcpy(inBuffer.data() + inMeta->getNullOffset(&status, i), &nullFlag, sizeof nullFlag);
    }

    // Output: every column as WIN1251 text; the server converts.
    Owned<Firebird::IMessageMetadata> described(statement->getOutputMetadata(&status));
    const unsigned columns = described->getCount(&status);
    Owned<Firebird::IMetadataBuilder> outBuilder(master_->getMetadataBuilder(&status, columns));
    for (unsigned i = 0; i < columns; ++i) {
      outBuilder->setType(&status, i, SQL_VARYING + 1);
      outBuilder->setLength(&status, i, kMaxResultBytes);
      outBuilder->setCharSet(&status, i, kWin1251);
    }
    Owned<Firebird::IMessageMetadata> outMeta(outBuilder->getMetadata(&status));
    std::vector<unsigned char> outBuffer(outMeta->getMessageLength(&status));
    auto readRow = [&] {
      Row row;
      for (unsigned i = 0; i < columns; ++i) {
        std::int16_t nullFlag = 0;
        std::memcpy(&nullFlag, outBuffer.data() + outMeta->getNullOffset(&status, i), sizeof nullFlag);
        if (nullFlag != 0) {
          row.emplace_back(std::nullopt);
          continue;
        }
        const unsigned char* field = outBuffer.data() + outMeta->getOffset(&status, i);
        std::uint16_t length = 0;
        std::memcpy(&length, field, sizeof length);
        row.emplace_back(
            cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(field + sizeof length), length)));
      }
      return row;
    };

    const unsigned type = statement->getType(&status);
    if (columns > 0 && (type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd)) {
      Owned<Firebird::IResultSet> cursor(
          statement->openCursor(&status, transaction_, inMeta.get(), inBuffer.data(), outMeta.get(), 0));
      while (cursor->fetchNext(&status, outBuffer.data()) == Firebird::IStatus::RESULT_OK) {
        rows.push_back(readRow());
      }
      cursor->close(&status);
      cursor.release();
    } else {
      statement->execute(&status, transaction_, inMeta.get(), inBuffer.data(),
                         columns > 0 ? outMeta.get() : nullptr, columns > 0 ? outBuffer.data() : nullptr);
      if (columns > 0) {
        rows.push_back(readRow());
      }
    }
    statement->free(&status);
    statement.release();
  } catch (const Firebird::FbException& e) {
    const std::string message = text(util_, e.getStatus());
    status.dispose();
    throw FbError(message);
  }
  status.dispose();
  return rows;
}

Value FbConnection::scalar(const std::string& sql, const std::vector<Value>& params) {
  const std::vector<Row> rows = query(sql, params);
  if (rows.size() != 1 || rows.front().empty()) {
    throw FbError("expected one row from: " + sql + ", got " + std::to_string(rows.size()));
  }
  return rows.front().front();
}

long long FbConnection::generator(const std::string& name) {
  const Value v = scalar("SELECT GEN_ID(" + name + ", 0) FROM RDB$DATABASE");
  return v ? std::stoll(*v) : 0;
}

}  // namespace mirrox::test

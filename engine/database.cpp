#include "engine/database.h"

#include "engine/query.h"
#include "engine/transaction.h"
#include "fb/closing.h"
#include "fb/connect.h"
#include "fb/parameter_block.h"
#include "fb/status.h"
#include "link/cp1251.h"

namespace mirrox {
namespace {

unsigned readDialect(Firebird::IAttachment* attachment) {
  fb::Status status(fb::Status::Quiet);
  const unsigned char items[] = {isc_info_db_sql_dialect, isc_info_end};
  unsigned char buffer[32] = {};
  attachment->getInfo(&status, sizeof(items), items, sizeof(buffer), buffer);
  if (status.failed() || buffer[0] != isc_info_db_sql_dialect) return 3;
  // Info items are little-endian: a 2-byte length, then the value.
  const unsigned length = buffer[1] | (buffer[2] << 8);
  if (length < 1 || length > 4) return 3;
  int value = 0;
  for (unsigned i = 0; i < length; ++i) value |= buffer[3 + i] << (8 * i);
  return value > 0 && value < 3 ? static_cast<unsigned>(value) : 3;
}

}  // namespace

Database::Database() = default;

Database::~Database() { disconnect(); }

void Database::connect() {
  if (connected()) return;
  fb::ParameterBlock dpb(fb::ParameterBlock::Attachment);
  fb::addLogin(dpb, kUserName, kPassword);
  attachment_ = fb::attach(utf8ToCp1251(name_), dpb);
  dialect_ = readDialect(attachment_.get());
}

void Database::abandonConnection() noexcept {
  // The handles are forgotten, not released: releasing them talks to the server (a rollback, a
  // detach), and a connection the server has shut down may leave its port open without ever
  // answering, which would block this thread for good. A lost connection costs a few objects and
  // a socket instead; the server has already undone the transaction.
  for (Query* query : queries_) query->abandon();
  if (transaction_ != nullptr) transaction_->abandon();
  fb::abandon(attachment_);
}

void Database::closeCursors() noexcept {
  for (Query* query : queries_) query->close();
}

void Database::disconnect() noexcept {
  for (Query* query : queries_) query->unprepare();
  if (transaction_ != nullptr) transaction_->finishOnDisconnect();
  fb::detachQuietly(attachment_);
}

}  // namespace mirrox

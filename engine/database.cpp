#include "engine/database.h"

#include <cstring>

#include "engine/fb_api.h"
#include "engine/query.h"
#include "engine/transaction.h"
#include "link/cp1251.h"

namespace mirrox {
namespace {

// Releases an XPB builder on every path.
struct BuilderGuard {
  Firebird::IXpbBuilder* builder;
  ~BuilderGuard() {
    if (builder != nullptr) builder->dispose();
  }
};

unsigned readDialect(Firebird::IAttachment* attachment) {
  fb::Status status;
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

Database::~Database() { disconnect(); }

void Database::connect() {
  if (connected()) return;
  fb::Status status;
  BuilderGuard dpb{fb::util()->getXpbBuilder(&status, Firebird::IXpbBuilder::DPB, nullptr, 0)};
  status.check();
  dpb.builder->insertString(&status, isc_dpb_user_name, kUserName);
  dpb.builder->insertString(&status, isc_dpb_password, kPassword);
  dpb.builder->insertString(&status, isc_dpb_lc_ctype, kCharacterSet);
  status.check();
  const unsigned length = dpb.builder->getBufferLength(&status);
  const unsigned char* buffer = dpb.builder->getBuffer(&status);
  status.check();

  Firebird::IProvider* provider = fb::master()->getDispatcher();
  const std::string name = utf8ToCp1251(name_);
  Firebird::IAttachment* attachment = provider->attachDatabase(&status, name.c_str(), length, buffer);
  provider->release();
  if (status.failed()) {
    if (attachment != nullptr) attachment->release();
    status.check();
  }
  attachment_ = attachment;
  dialect_ = readDialect(attachment_);
}

void Database::abandonConnection() noexcept {
  // The handles are forgotten, not released: releasing them talks to the server (a rollback, a
  // detach), and a connection the server has shut down may leave its port open without ever
  // answering, which would block this thread for good. A lost connection costs a few objects and
  // a socket instead; the server has already undone the transaction.
  for (Query* query : queries_) query->abandon();
  if (transaction_ != nullptr) transaction_->abandon();
  attachment_ = nullptr;
}

void Database::closeCursors() noexcept {
  for (Query* query : queries_) query->close();
}

void Database::disconnect() noexcept {
  for (Query* query : queries_) query->unprepare();
  if (transaction_ != nullptr) transaction_->finishOnDisconnect();
  if (attachment_ == nullptr) return;
  fb::Status status;
  attachment_->detach(&status);
  // A successful detach releases the interface; after a failed one it must be released by hand.
  if (status.failed()) attachment_->release();
  attachment_ = nullptr;
}

}  // namespace mirrox

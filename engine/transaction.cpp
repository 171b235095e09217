#include "engine/transaction.h"

#include "engine/database.h"
#include "engine/fb_api.h"
#include "engine/local_db_error.h"
#include "engine/query.h"

namespace mirrox {

Transaction::Transaction(Database& database) : database_(database) { database_.transaction_ = this; }

Transaction::~Transaction() {
  releaseHandle();
  if (database_.transaction_ == this) database_.transaction_ = nullptr;
}

void Transaction::start() {
  if (active()) return;
  if (!database_.connected()) throw LocalDbError("Database not connected");
  fb::Status status;
  Firebird::IXpbBuilder* tpb = fb::util()->getXpbBuilder(&status, Firebird::IXpbBuilder::TPB, nullptr, 0);
  status.check();
  tpb->insertTag(&status, isc_tpb_read_committed);
  tpb->insertTag(&status, isc_tpb_rec_version);
  tpb->insertTag(&status, isc_tpb_nowait);
  const unsigned length = tpb->getBufferLength(&status);
  const unsigned char* buffer = tpb->getBuffer(&status);
  Firebird::ITransaction* transaction = nullptr;
  if (!status.failed()) transaction = database_.handle()->startTransaction(&status, length, buffer);
  tpb->dispose();
  if (status.failed()) {
    if (status.connectionLost()) {
      database_.abandonConnection();
    } else if (transaction != nullptr) {
      transaction->release();
    }
    status.check();
  }
  transaction_ = transaction;
}

void Transaction::commit() {
  if (!active()) throw LocalDbError("Transaction is not active");
  database_.closeCursors();
  fb::Status status;
  transaction_->commit(&status);
  if (status.failed()) failed(status);
  transaction_ = nullptr;
}

void Transaction::rollback() {
  if (!active()) throw LocalDbError("Transaction is not active");
  database_.closeCursors();
  fb::Status status;
  transaction_->rollback(&status);
  if (status.failed()) failed(status);
  transaction_ = nullptr;
}

void Transaction::failed(fb::Status& status) {
  const std::string message = status.message();
  const bool lost = status.connectionLost();
  if (lost) {
    database_.abandonConnection();
  } else {
    releaseHandle();
  }
  throw LocalDbError(message, lost);
}

void Transaction::finishOnDisconnect() noexcept {
  if (!active()) return;
  database_.closeCursors();
  fb::Status status;
  transaction_->commit(&status);
  if (status.failed()) {
    releaseHandle();
  } else {
    transaction_ = nullptr;
  }
}

void Transaction::releaseHandle() noexcept {
  if (transaction_ == nullptr) return;
  transaction_->release();
  transaction_ = nullptr;
}

}  // namespace mirrox

#include "engine/transaction.h"

#include "engine/database.h"
#include "engine/engine_messages.h"
#include "engine/query.h"
#include "fb/closing.h"
#include "fb/connect.h"
#include "fb/parameter_block.h"
#include "fb/status.h"

namespace mirrox {

Transaction::Transaction(Database& database) : database_(database) { database_.transaction_ = this; }

Transaction::~Transaction() {
  transaction_.reset();
  if (database_.transaction_ == this) database_.transaction_ = nullptr;
}

void Transaction::start() {
  if (active()) return;
  if (!database_.connected()) throw fb::Error(messages::kLocalNotConnected);
  fb::ParameterBlock tpb(fb::ParameterBlock::Transaction);
  tpb.tag(isc_tpb_read_committed).tag(isc_tpb_rec_version).tag(isc_tpb_nowait);
  try {
    transaction_ = fb::startTransaction(database_.handle(), tpb);
  } catch (const fb::Error& error) {
    if (error.connectionLost()) database_.abandonConnection();
    throw;
  }
}

void Transaction::finish(void (*end)(fb::Handle<Firebird::ITransaction>&)) {
  if (!active()) throw fb::Error("Transaction is not active");
  database_.closeCursors();
  try {
    end(transaction_);
  } catch (const fb::Error& error) {
    if (error.connectionLost()) {
      database_.abandonConnection();
    } else {
      transaction_.reset();
    }
    throw;
  }
}

void Transaction::commit() { finish(fb::commit); }

void Transaction::rollback() { finish(fb::rollback); }

void Transaction::finishOnDisconnect() noexcept {
  if (!active()) return;
  database_.closeCursors();
  fb::commitQuietly(transaction_);
}

void Transaction::abandon() noexcept { fb::abandon(transaction_); }

}  // namespace mirrox

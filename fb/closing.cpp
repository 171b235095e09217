#include "fb/closing.h"

#include "fb/status.h"

namespace mirrox::fb {
namespace {

template <class Interface, class Call>
void end(Handle<Interface>& handle, Call call) {
  if (!handle) return;
  Status status;
  call(handle.get(), &status);
  abandon(handle);  // released by the call
}

template <class Interface, class Call>
bool endQuietly(Handle<Interface>& handle, Call call) noexcept {
  if (!handle) return true;
  Status status(Status::Quiet);
  call(handle.get(), &status);
  if (status.failed()) {
    handle.reset();
    return false;
  }
  abandon(handle);  // released by the call
  return true;
}

}  // namespace

void commit(Handle<Firebird::ITransaction>& transaction) {
  end(transaction, [](Firebird::ITransaction* t, Status* s) { t->commit(s); });
}

void rollback(Handle<Firebird::ITransaction>& transaction) {
  end(transaction, [](Firebird::ITransaction* t, Status* s) { t->rollback(s); });
}

void close(Handle<Firebird::IResultSet>& cursor) {
  end(cursor, [](Firebird::IResultSet* c, Status* s) { c->close(s); });
}

void close(Handle<Firebird::IBlob>& blob) {
  end(blob, [](Firebird::IBlob* b, Status* s) { b->close(s); });
}

bool commitQuietly(Handle<Firebird::ITransaction>& transaction) noexcept {
  return endQuietly(transaction, [](Firebird::ITransaction* t, Status* s) { t->commit(s); });
}

bool rollbackQuietly(Handle<Firebird::ITransaction>& transaction) noexcept {
  return endQuietly(transaction, [](Firebird::ITransaction* t, Status* s) { t->rollback(s); });
}

bool closeQuietly(Handle<Firebird::IResultSet>& cursor) noexcept {
  return endQuietly(cursor, [](Firebird::IResultSet* c, Status* s) { c->close(s); });
}

bool freeQuietly(Handle<Firebird::IStatement>& statement) noexcept {
  return endQuietly(statement, [](Firebird::IStatement* st, Status* s) { st->free(s); });
}

bool detachQuietly(Handle<Firebird::IAttachment>& attachment) noexcept {
  return endQuietly(attachment, [](Firebird::IAttachment* a, Status* s) { a->detach(s); });
}

bool detachQuietly(Handle<Firebird::IService>& service) noexcept {
  return endQuietly(service, [](Firebird::IService* v, Status* s) { v->detach(s); });
}

}  // namespace mirrox::fb

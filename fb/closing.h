#pragma once

#include "fb/handle.h"

namespace Firebird {
class IAttachment;
class IBlob;
class IResultSet;
class IService;
class IStatement;
class ITransaction;
}  // namespace Firebird

// The calls that end an interface, under one rule: a successful detach, commit, rollback, free or
// close releases the interface itself, so the handle lets go of it; after a failed one the
// interface is still the handle's, and releasing it closes the connection or rolls back the
// transaction on a live attachment (and costs nothing on a dead one).
namespace mirrox::fb {

// Each throws Error when the call fails; the handle then still holds the interface, so the caller
// decides whether to release or abandon it. An empty handle is left alone.
void commit(Handle<Firebird::ITransaction>& transaction);
void rollback(Handle<Firebird::ITransaction>& transaction);
void close(Handle<Firebird::IResultSet>& cursor);
void close(Handle<Firebird::IBlob>& blob);

// For cleanup, where nothing may be thrown: after a failed call the interface is released. False
// when the call failed.
bool commitQuietly(Handle<Firebird::ITransaction>& transaction) noexcept;
bool rollbackQuietly(Handle<Firebird::ITransaction>& transaction) noexcept;
bool closeQuietly(Handle<Firebird::IResultSet>& cursor) noexcept;
bool freeQuietly(Handle<Firebird::IStatement>& statement) noexcept;
bool detachQuietly(Handle<Firebird::IAttachment>& attachment) noexcept;
bool detachQuietly(Handle<Firebird::IService>& service) noexcept;

}  // namespace mirrox::fb

#pragma once

#include <memory>

namespace mirrox::fb {

// Releases a reference-counted interface of the OO API (attachment, transaction, statement,
// result set, blob, metadata, provider, service).
struct Release {
  template <class Interface>
  void operator()(Interface* handle) const noexcept {
    handle->release();
  }
};

// An owned interface. The calls that end one (detach, commit, rollback, free, close) go through
// fb/closing.h, which knows when the interface is released already.
template <class Interface>
using Handle = std::unique_ptr<Interface, Release>;

// Lets go of an interface without releasing it: after a call that released it already (see
// fb/closing.h), or when its connection is known to be lost, where releasing would talk to a server
// that may never answer again.
template <class Interface>
void abandon(Handle<Interface>& handle) noexcept {
  [[maybe_unused]] Interface* forgotten = handle.release();
}

}  // namespace mirrox::fb

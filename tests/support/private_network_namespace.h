#pragma once

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace mirrox::testing_support {

// While it lives, the calling thread is in a network namespace of its own: no route anywhere,
// loopback down, and ICMP ping sockets not permitted to any group (the namespace's default). Other
// threads keep the machine's network. Needs root; ready() is false where the kernel refuses.
class PrivateNetworkNamespace {
 public:
  PrivateNetworkNamespace() : saved_(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC)) {
    ready_ = saved_ >= 0 && ::unshare(CLONE_NEWNET) == 0;
  }
  ~PrivateNetworkNamespace() {
    if (ready_) ::setns(saved_, CLONE_NEWNET);
    if (saved_ >= 0) ::close(saved_);
  }
  PrivateNetworkNamespace(const PrivateNetworkNamespace&) = delete;
  PrivateNetworkNamespace& operator=(const PrivateNetworkNamespace&) = delete;

  bool ready() const { return ready_; }

 private:
  int saved_;
  bool ready_ = false;
};

}  // namespace mirrox::testing_support

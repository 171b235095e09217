#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <initializer_list>

namespace mirrox::testing_support {

// While it lives, the calling thread works without the given capabilities (CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH: root meets file modes as any account does; CAP_NET_RAW: no raw sockets).
// They leave the thread's effective set and come back at the end; capabilities belong to one
// thread, so other threads keep theirs. Without those capabilities in the first place it changes
// nothing.
class WithoutCapabilities {
 public:
  explicit WithoutCapabilities(std::initializer_list<int> capabilities) {
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    for (const int capability : capabilities)
      reduced[capability / 32].effective &= ~(1u << (capability % 32));
    dropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~WithoutCapabilities() {
    if (dropped_) ::syscall(SYS_capset, &header_, saved_);
  }
  WithoutCapabilities(const WithoutCapabilities&) = delete;
  WithoutCapabilities& operator=(const WithoutCapabilities&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool dropped_ = false;
};

}  // namespace mirrox::testing_support

#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mirrox::testing_support {

// While it lives, the calling thread meets file modes as any account does, root included: it
// drops CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH from the thread's effective capabilities and
// gives them back at the end. Capabilities belong to one thread, so other threads keep theirs.
class NoFileAccessOverride {
 public:
  NoFileAccessOverride() {
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
    dropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~NoFileAccessOverride() {
    if (dropped_) ::syscall(SYS_capset, &header_, saved_);
  }
  NoFileAccessOverride(const NoFileAccessOverride&) = delete;
  NoFileAccessOverride& operator=(const NoFileAccessOverride&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool dropped_ = false;
};

}  // namespace mirrox::testing_support

#pragma once

#include <sys/stat.h>

namespace mirrox::testing_support {

// While it lives, the process creates files under `mask` (a packaged installation runs under 007);
// the umask it replaced comes back at the end. The umask belongs to the whole process: tests that
// use it create their files on the test's own thread.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : saved_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(saved_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t saved_;
};

}  // namespace mirrox::testing_support

#pragma once

#include "link/platform/files.h"

namespace mirrox {

// Owns one file descriptor (a C runtime descriptor on Windows) and closes it when it goes; -1 owns nothing.
// Every class that holds a descriptor holds it in one of these; a socket is held in a
// platform::UniqueSocket instead, since on Windows it is no descriptor.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) noexcept : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the descriptor held, if any, and takes `fd` instead. A failure to close is not reported.
  void reset(int fd = -1) noexcept {
    if (fd_ >= 0) platform::closeFile(fd_);
    fd_ = fd;
  }
  // Closes now: 0, or the errno of a failed close (on some file systems the last write fails only
  // here). The descriptor is gone either way.
  int close() noexcept { return fd_ < 0 ? 0 : platform::closeFile(release()); }

 private:
  int fd_;
};

}  // namespace mirrox

#include "link/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/link_fault.h"

namespace mirrox {
namespace {

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error) {
  throw LinkFault(std::string(what) + " \"" + path.string() + "\". " + std::strerror(error));
}

}  // namespace

OutputFile::OutputFile(const std::filesystem::path& path)
    : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
  if (fd_ < 0) fail(kCannotCreateFileMessage, path_, errno);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::write(std::string_view bytes) {
  if (fd_ < 0) fail(kCannotWriteFileMessage, path_, EBADF);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      fail(kCannotWriteFileMessage, path_, errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    size_ += static_cast<std::uint64_t>(written);
  }
}

void OutputFile::close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(kCannotWriteFileMessage, path_, errno);
}

void replaceFile(const std::filesystem::path& path, std::string_view bytes) {
  std::string temporary = path.string() + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) fail(kCannotCreateFileMessage, path, errno);
  int error = 0;
  while (!bytes.empty() && error == 0) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno != EINTR) error = errno;
      continue;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  // Readable by whoever reads the directory, as a file created the usual way would be.
  if (error == 0 && ::fchmod(fd, 0644) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    fail(kCannotWriteFileMessage, path, error);
  }
}

InputFile::InputFile(const std::filesystem::path& path)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (fd_ < 0) fail(kCannotOpenFileMessage, path_, errno);
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t InputFile::read(std::span<char> into) {
  std::size_t filled = 0;
  while (filled < into.size()) {
    const ssize_t got = ::read(fd_, into.data() + filled, into.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(kCannotReadFileMessage, path_, errno);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return filled;
}

}  // namespace mirrox

#include "link/file_io.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/link_fault.h"

namespace mirrox {
namespace {

// Runs a system call again for as long as a signal interrupts it.
template <class Call>
auto retryInterrupted(Call call) {
  for (;;) {
    const auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

// Hands `bytes` to `put` until all are taken. 0, or the errno of the failure.
template <class Put>
int putAll(std::string_view bytes, Put put) noexcept {
  while (!bytes.empty()) {
    const ssize_t done = retryInterrupted([&] { return put(bytes); });
    if (done < 0) return errno;
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return 0;
}

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error) {
  throw LinkFault(std::string(what) + " \"" + path.string() + "\". " + std::strerror(error));
}

}  // namespace

int writeAll(int fd, std::string_view bytes) noexcept {
  return putAll(bytes, [fd](std::string_view rest) { return ::write(fd, rest.data(), rest.size()); });
}

int sendAll(int fd, std::string_view bytes) noexcept {
  return putAll(bytes,
                [fd](std::string_view rest) { return ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL); });
}

ssize_t readFull(int fd, std::span<char> into) noexcept {
  std::size_t filled = 0;
  while (filled < into.size()) {
    const ssize_t got =
        retryInterrupted([&] { return ::read(fd, into.data() + filled, into.size() - filled); });
    if (got < 0) return -1;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(filled);
}

OutputFile::OutputFile(const std::filesystem::path& path)
    : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
  if (!fd_.valid()) fail(kCannotCreateFileMessage, path_, errno);
}

void OutputFile::write(std::string_view bytes) {
  if (!fd_.valid()) fail(kCannotWriteFileMessage, path_, EBADF);
  if (const int error = writeAll(fd_.get(), bytes); error != 0) fail(kCannotWriteFileMessage, path_, error);
  size_ += bytes.size();
}

void OutputFile::close() {
  if (const int error = fd_.close(); error != 0) fail(kCannotWriteFileMessage, path_, error);
}

void replaceFile(const std::filesystem::path& path, std::string_view bytes) {
  ReplacementFile replacement(path);
  if (!replacement.valid()) fail(kCannotCreateFileMessage, path, errno);
  // Readable by whoever reads the directory, as a file created the usual way would be.
  if (!replacement.write(bytes) || ::fchmod(replacement.fd(), 0644) != 0 || !replacement.commit()) {
    fail(kCannotWriteFileMessage, path, errno);
  }
}

InputFile::InputFile(const std::filesystem::path& path)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (!fd_.valid()) fail(kCannotOpenFileMessage, path_, errno);
}

std::size_t InputFile::read(std::span<char> into) {
  const ssize_t got = readFull(fd_.get(), into);
  if (got < 0) fail(kCannotReadFileMessage, path_, errno);
  return static_cast<std::size_t>(got);
}

std::string InputFile::readAll() {
  std::string bytes;
  char chunk[64 * 1024];
  while (const std::size_t got = read(chunk)) bytes.append(chunk, got);
  return bytes;
}

std::uint64_t InputFile::size() const {
  struct stat info {};
  if (::fstat(fd_.get(), &info) != 0) fail(kCannotReadFileMessage, path_, errno);
  return static_cast<std::uint64_t>(info.st_size);
}

NewFile::NewFile(std::filesystem::path path, mode_t mode)
    : path_(std::move(path)), fd_(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode)) {
  if (!fd_.valid()) error_ = errno;
}

NewFile::~NewFile() {
  if (fd_.valid() && !kept_) {
    fd_.reset();
    ::unlink(path_.c_str());
  }
}

int NewFile::sync() noexcept { return ::fsync(fd_.get()) == 0 ? 0 : errno; }

ReplacementFile::ReplacementFile(const std::filesystem::path& target)
    : target_(target), temporary_(target.string() + ".XXXXXX") {
  fd_.reset(::mkostemp(temporary_.data(), O_CLOEXEC));
  created_ = fd_.valid();
}

ReplacementFile::~ReplacementFile() {
  fd_.reset();
  if (created_ && !committed_) ::unlink(temporary_.c_str());
}

bool ReplacementFile::commit() noexcept {
  if (!fd_.valid() || ::fsync(fd_.get()) != 0 || fd_.close() != 0) return false;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
  committed_ = true;
  return true;
}

}  // namespace mirrox

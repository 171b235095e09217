#include "link/file_io.h"

#include <cerrno>
#include <string>

#include "link/link_fault.h"
#include "link/platform/files.h"

namespace mirrox {
namespace {

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error) {
  throw LinkFault(std::string(what) + " \"" + path.string() + "\". " + platform::errorText(error));
}

}  // namespace

int writeAll(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const std::int64_t done = platform::writeSome(fd, bytes.data(), bytes.size());
    if (done < 0) return errno;
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return 0;
}

ssize_t readFull(int fd, std::span<char> into) noexcept {
  std::size_t filled = 0;
  while (filled < into.size()) {
    const std::int64_t got = platform::readSome(fd, into.data() + filled, into.size() - filled);
    if (got < 0) return -1;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(filled);
}

OutputFile::OutputFile(const std::filesystem::path& path)
    : path_(path), fd_(platform::openFile(path, platform::FileAccess::Write, 0644)) {
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
  if (!replacement.write(bytes) || platform::makeReadableByAll(replacement.fd()) != 0 ||
      !replacement.commit()) {
    fail(kCannotWriteFileMessage, path, errno);
  }
}

InputFile::InputFile(const std::filesystem::path& path)
    : path_(path), fd_(platform::openFile(path, platform::FileAccess::Read)) {
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
  std::uint64_t size = 0;
  if (const int error = platform::fileSize(fd_.get(), size); error != 0)
    fail(kCannotReadFileMessage, path_, error);
  return size;
}

NewFile::NewFile(std::filesystem::path path, mode_t mode)
    : path_(std::move(path)), fd_(platform::openFile(path_, platform::FileAccess::CreateNew, mode)) {
  if (!fd_.valid()) error_ = errno;
}

NewFile::~NewFile() {
  if (fd_.valid() && !kept_) {
    fd_.reset();
    platform::removeFile(path_);
  }
}

int NewFile::sync() noexcept { return platform::syncFile(fd_.get()); }

ReplacementFile::ReplacementFile(const std::filesystem::path& target)
    : target_(target), temporary_(target.string() + ".XXXXXX") {
  fd_.reset(platform::createUniqueFile(temporary_));
  created_ = fd_.valid();
}

ReplacementFile::~ReplacementFile() {
  fd_.reset();
  if (created_ && !committed_) platform::removeFile(temporary_);
}

bool ReplacementFile::commit() noexcept {
  if (!fd_.valid() || platform::syncFile(fd_.get()) != 0 || fd_.close() != 0) return false;
  if (const int error = platform::replaceFile(temporary_, target_); error != 0) {
    errno = error;
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace mirrox

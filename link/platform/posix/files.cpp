#include "link/platform/files.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace mirrox::platform {
namespace {

template <class Call>
auto retryInterrupted(Call call) {
  for (;;) {
    const auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

int flagsOf(FileAccess access) {
  switch (access) {
    case FileAccess::Read:
    case FileAccess::ReadDenyWriters:
      return O_RDONLY;
    case FileAccess::Write:
      return O_WRONLY | O_CREAT;  // truncated once its lock is held, so a refused writer loses nothing
    case FileAccess::Append:
      return O_WRONLY | O_CREAT | O_APPEND;
    case FileAccess::CreateNew:
      return O_WRONLY | O_CREAT | O_EXCL;
  }
  return O_RDONLY;
}

// Advisory locks stand in for share modes: a writer holds an exclusive lock, a reader that denies
// writers a shared one; neither waits for the other.
int lockOf(FileAccess access) {
  switch (access) {
    case FileAccess::ReadDenyWriters:
      return LOCK_SH;
    case FileAccess::Write:
      return LOCK_EX;
    default:
      return 0;
  }
}

// The process's umask, left as it is. Linux reports it in /proc/self/status; elsewhere it is read
// by setting it, narrowed meanwhile so that a file another thread creates in that moment gets fewer
// rights, never more.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  const mode_t mask = ::umask(077);
  ::umask(mask);
  return mask;
}

}  // namespace

int openFile(const std::filesystem::path& path, FileAccess access, unsigned mode) noexcept {
  const int fd = retryInterrupted([&] { return ::open(path.c_str(), flagsOf(access) | O_CLOEXEC, mode); });
  if (fd < 0) return -1;
  if (const int lock = lockOf(access); lock != 0 && ::flock(fd, lock | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  // Only a regular file has a length to cut, as O_TRUNC would leave a device alone.
  struct stat st {};
  if (access == FileAccess::Write && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      ::ftruncate(fd, 0) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

int closeFile(int fd) noexcept { return ::close(fd) == 0 ? 0 : errno; }

std::int64_t readSome(int fd, char* into, std::size_t size) noexcept {
  return retryInterrupted([&] { return ::read(fd, into, size); });
}

std::int64_t writeSome(int fd, const char* bytes, std::size_t size) noexcept {
  return retryInterrupted([&] { return ::write(fd, bytes, size); });
}

int syncFile(int fd) noexcept { return ::fsync(fd) == 0 ? 0 : errno; }

int fileSize(int fd, std::uint64_t& size) noexcept {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return errno;
  size = static_cast<std::uint64_t>(info.st_size);
  return 0;
}

int makeReadableByAll(int fd) noexcept { return ::fchmod(fd, 0644) == 0 ? 0 : errno; }

int createUniqueFile(std::string& pattern) noexcept { return ::mkostemp(pattern.data(), O_CLOEXEC); }

int createUniqueDirectory(std::string& pattern) noexcept {
  return ::mkdtemp(pattern.data()) != nullptr ? 0 : errno;
}

int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) noexcept {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int removeFile(const std::filesystem::path& path) noexcept { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int fileAttributes(const std::filesystem::path& path, FileAttributes& attributes) noexcept {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  attributes.mode = st.st_mode & 07777;
  attributes.user = st.st_uid;
  attributes.group = st.st_gid;
  return 0;
}

int checkWritable(const std::filesystem::path& path) noexcept {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  // Root may write anything; a file nobody may write stays unwritten for root too.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
  return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

int applyAttributes(int fd, const FileAttributes& attributes) noexcept {
  if (attributes.user >= 0 && attributes.group >= 0) {
    // Root may set both, an account only its own groups; otherwise the file stays this account's,
    // as any file it creates would.
    if (::fchown(fd, static_cast<uid_t>(attributes.user), static_cast<gid_t>(attributes.group)) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(attributes.group)) != 0) {
      // Neither: the file stays this account's.
    }
  }
  // The mode after the owner: a change of owner clears the set-id bits.
  const mode_t mode = attributes.mode ? static_cast<mode_t>(*attributes.mode) : 0666 & ~currentUmask();
  return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

void makeUsableByDatabaseServer(int fd) noexcept {
  ::fchmod(fd, 0660);
  const passwd* user = ::getpwnam("firebird");
  const group* grp = ::getgrnam("firebird");
  if (user != nullptr && grp != nullptr && ::fchown(fd, user->pw_uid, grp->gr_gid) == 0) return;
  if (grp != nullptr && ::fchown(fd, static_cast<uid_t>(-1), grp->gr_gid) == 0) return;
  ::fchmod(fd, 0666);
}

std::string errorText(int error) { return std::strerror(error); }

}  // namespace mirrox::platform

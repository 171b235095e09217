#include "link/platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

#include "link/platform/windows/system_error.h"

namespace mirrox::platform {
namespace {

struct OpenWay {
  DWORD access;
  DWORD share;
  DWORD disposition;
  int runtimeFlags;
};

// Share modes: readers let everyone in, except the reader that denies writers; writers let readers
// in but keep out a reader that denies writers (its share mode refuses them). Delete sharing keeps
// the POSIX rule that an open file can still be renamed or removed.
OpenWay wayOf(FileAccess access) {
  constexpr DWORD kEveryone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  switch (access) {
    case FileAccess::Read:
      return {GENERIC_READ, kEveryone, OPEN_EXISTING, _O_RDONLY};
    case FileAccess::ReadDenyWriters:
      return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, _O_RDONLY};
    case FileAccess::Write:
      return {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_ALWAYS, 0};
    case FileAccess::Append:
      return {GENERIC_WRITE, kEveryone, OPEN_ALWAYS, _O_APPEND};
    case FileAccess::CreateNew:
      return {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW, 0};
  }
  return {GENERIC_READ, kEveryone, OPEN_EXISTING, _O_RDONLY};
}

// Replaces the trailing "XXXXXX" of `pattern` with random letters.
bool fillPattern(std::string& pattern, std::mt19937& random) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  if (pattern.size() < 6 || pattern.compare(pattern.size() - 6, 6, "XXXXXX") != 0) return false;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i) pattern[i] = kLetters[pick(random)];
  return true;
}

// Tries `create` on fresh names from the pattern until one did not exist yet.
template <class Create>
int createUnique(std::string& pattern, Create create) {
  std::random_device seed;
  std::mt19937 random(seed() ^ ::GetCurrentProcessId() ^ ::GetTickCount());
  const std::string original = pattern;
  for (int attempt = 0; attempt < 100; ++attempt) {
    pattern = original;
    if (!fillPattern(pattern, random)) {
      errno = EINVAL;
      return -1;
    }
    const int result = create(std::filesystem::path(pattern));
    if (result >= 0 || errno != EEXIST) return result;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

int openFile(const std::filesystem::path& path, FileAccess access, unsigned) noexcept {
  const OpenWay way = wayOf(access);
  const HANDLE handle = ::CreateFileW(path.c_str(), way.access, way.share, nullptr, way.disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failWithLastError();
  // Binary mode: without _O_TEXT the runtime passes bytes through unchanged.
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), way.runtimeFlags);
  if (fd < 0) {
    ::CloseHandle(handle);
    errno = EMFILE;
  }
  return fd;
}

int closeFile(int fd) noexcept { return ::_close(fd) == 0 ? 0 : errno; }

std::int64_t readSome(int fd, char* into, std::size_t size) noexcept {
  return ::_read(fd, into, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}

std::int64_t writeSome(int fd, const char* bytes, std::size_t size) noexcept {
  return ::_write(fd, bytes, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}

int syncFile(int fd) noexcept {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return EBADF;
  return ::FlushFileBuffers(handle) ? 0 : errnoOf(::GetLastError());
}

int fileSize(int fd, std::uint64_t& size) noexcept {
  struct _stati64 info {};
  if (::_fstati64(fd, &info) != 0) return errno;
  size = static_cast<std::uint64_t>(info.st_size);
  return 0;
}

int makeReadableByAll(int) noexcept { return 0; }

int createUniqueFile(std::string& pattern) noexcept {
  return createUnique(
      pattern, [](const std::filesystem::path& path) { return openFile(path, FileAccess::CreateNew); });
}

int createUniqueDirectory(std::string& pattern) noexcept {
  const int result = createUnique(pattern, [](const std::filesystem::path& path) {
    return ::CreateDirectoryW(path.c_str(), nullptr) ? 0 : failWithLastError();
  });
  return result == 0 ? 0 : errno;
}

int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) noexcept {
  // Write-through: the call returns once the new name is on the disk, as a rename followed by a
  // directory sync would.
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  return errnoOf(::GetLastError());
}

int removeFile(const std::filesystem::path& path) noexcept {
  return ::DeleteFileW(path.c_str()) ? 0 : errnoOf(::GetLastError());
}

// Windows keeps no permission bits: a file is writable unless marked read-only, and the owner of a
// replaced file is whoever writes it, as with any file created there.
int fileAttributes(const std::filesystem::path& path, FileAttributes& attributes) noexcept {
  const DWORD flags = ::GetFileAttributesW(path.c_str());
  if (flags == INVALID_FILE_ATTRIBUTES) return errnoOf(::GetLastError());
  attributes.mode = (flags & FILE_ATTRIBUTE_READONLY) != 0 ? 0444u : 0644u;
  return 0;
}

int checkWritable(const std::filesystem::path& path) noexcept {
  const DWORD flags = ::GetFileAttributesW(path.c_str());
  if (flags == INVALID_FILE_ATTRIBUTES) return errnoOf(::GetLastError());
  return (flags & FILE_ATTRIBUTE_READONLY) != 0 ? EACCES : 0;
}

int applyAttributes(int, const FileAttributes&) noexcept { return 0; }

// The Windows server runs as a service (LocalSystem unless set up otherwise), which opens a local
// database file as it was written.
void makeUsableByDatabaseServer(int) noexcept {}

std::string errorText(int error) { return std::strerror(error); }

}  // namespace mirrox::platform

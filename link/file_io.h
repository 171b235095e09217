#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "link/unique_fd.h"

// Files and descriptors: the one place where bytes are written and read whole, interrupted calls
// are retried, and files are created anew or replaced. The functions report the system's errno
// and leave the wording to their callers; OutputFile and InputFile throw LinkFault with the link's
// texts.
namespace mirrox {

// Writes every byte to the descriptor. 0, or the errno of the failure.
int writeAll(int fd, std::string_view bytes) noexcept;
// Sends every byte on a connected socket, never raising SIGPIPE. 0, or the errno of the failure.
int sendAll(int fd, std::string_view bytes) noexcept;
// Fills as much of `into` as the descriptor gives; fewer bytes only at its end. The count, or -1
// with errno set.
ssize_t readFull(int fd, std::span<char> into) noexcept;

// A file created (or truncated) for writing. Failures throw LinkFault with the file system's
// message. The destructor closes without reporting; call close() to learn whether the data landed.
class OutputFile {
 public:
  explicit OutputFile(const std::filesystem::path& path);

  void write(std::string_view bytes);
  void close();
  std::uint64_t size() const { return size_; }

 private:
  std::filesystem::path path_;
  UniqueFd fd_;
  std::uint64_t size_ = 0;
};

// Replaces the file at `path` with `bytes` as one step: written beside it under a temporary name,
// flushed to the disk and renamed over it, so a reader sees the old content or the new, never a
// part. Throws LinkFault with the file system's message; the old file then stays as it was.
void replaceFile(const std::filesystem::path& path, std::string_view bytes);

// A file opened for reading. Failures throw LinkFault with the file system's message.
class InputFile {
 public:
  explicit InputFile(const std::filesystem::path& path);

  // Fills as much of `into` as the file allows; fewer bytes only at its end.
  std::size_t read(std::span<char> into);
  // The rest of the file.
  std::string readAll();
  // The file's size now.
  std::uint64_t size() const;

 private:
  std::filesystem::path path_;
  UniqueFd fd_;
};

// A file that must not exist yet: created exclusively with `mode` (the umask may take bits away),
// and removed again unless keep() is called, so a write that fails half-way leaves nothing behind.
class NewFile {
 public:
  NewFile(std::filesystem::path path, mode_t mode);
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // 0 when the file was created, else the errno of the failure.
  int error() const { return error_; }
  int fd() const { return fd_.get(); }
  // 0, or the errno of the failure.
  int write(std::string_view bytes) noexcept { return writeAll(fd_.get(), bytes); }
  // Forces the data to disk: 0, or the errno of the failure.
  int sync() noexcept;
  // The file stays when the object goes.
  void keep() { kept_ = true; }

 private:
  std::filesystem::path path_;
  UniqueFd fd_;
  int error_ = 0;
  bool kept_ = false;
};

// The new contents of `target`, written to a temporary file beside it that takes the target's name
// only once everything is on disk, so a crash or a full disk never leaves a half-written file.
// Without commit() the temporary file is removed.
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::filesystem::path& target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // False when the temporary file could not be created.
  bool valid() const { return fd_.valid(); }
  int fd() const { return fd_.get(); }
  bool write(std::string_view bytes) noexcept { return writeAll(fd_.get(), bytes) == 0; }
  // Syncs and closes the temporary file and renames it over the target. False on any failure; the
  // target is then unchanged.
  bool commit() noexcept;

 private:
  std::filesystem::path target_;
  std::string temporary_;
  UniqueFd fd_;
  bool created_ = false;
  bool committed_ = false;
};

}  // namespace mirrox

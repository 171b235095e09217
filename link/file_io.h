#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace mirrox {

// A file created (or truncated) for writing. Failures throw LinkFault with the file system's
// message. The destructor closes without reporting; call close() to learn whether the data landed.
class OutputFile {
 public:
  explicit OutputFile(const std::filesystem::path& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(std::string_view bytes);
  void close();
  std::uint64_t size() const { return size_; }

 private:
  std::filesystem::path path_;
  int fd_;
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
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Fills as much of `into` as the file allows; fewer bytes only at its end.
  std::size_t read(std::span<char> into);

 private:
  std::filesystem::path path_;
  int fd_;
};

}  // namespace mirrox

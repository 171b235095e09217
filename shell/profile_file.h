#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "shell/profile_document.h"

namespace mirrox {

// Raised when the settings file cannot be written; the text is "Unable to write to <path>".
class ProfileWriteError : public std::runtime_error {
 public:
  explicit ProfileWriteError(const std::filesystem::path& path);
};

// Raised when the settings file exists but cannot be read in full; the text says so and gives the
// reason, which names the file.
class ProfileReadError : public std::runtime_error {
 public:
  explicit ProfileReadError(const std::string& reason);
};

// The settings file on disk. It is opened for each load or save and never held open.
class ProfileFile {
 public:
  explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& path() const { return path_; }

  // A missing file reads as empty. Throws ProfileReadError when the file exists but cannot be read
  // in full: taking it for empty would let the next save replace the whole object list.
  ProfileDocument load() const;

  // The file as a write starts from it. Throws ProfileWriteError where load() throws, so a file
  // that could not be read is never replaced.
  ProfileDocument loadForUpdate() const;

  // Replaces the file atomically: the new contents go to a temporary file beside it, which then
  // takes the file's name, so a crash or a full disk never leaves a half-written object list.
  // A symbolic link stays a link: the file it leads to is replaced. The file keeps its mode, and
  // its owner and group as far as this process may set them; a file written for the first time
  // gets the mode 0666 less the process's umask, as any created file. A file without any write
  // permission counts as read-only, as a Windows read-only file would.
  // Throws ProfileWriteError; the file is then unchanged.
  void save(const ProfileDocument& document) const;

 private:
  std::filesystem::path path_;
};

}  // namespace mirrox

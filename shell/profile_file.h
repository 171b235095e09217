#pragma once

#include <filesystem>
#include <stdexcept>

#include "shell/profile_document.h"

namespace mirrox {

// Raised when the settings file cannot be written; the text is "Unable to write to <path>".
class ProfileWriteError : public std::runtime_error {
 public:
  explicit ProfileWriteError(const std::filesystem::path& path);
};

// The settings file on disk. It is opened for each load or save and never held open.
class ProfileFile {
 public:
  explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& path() const { return path_; }

  // A missing or unreadable file reads as empty.
  ProfileDocument load() const;

  // Replaces the file atomically: the new contents go to a temporary file beside it, which then
  // takes the file's name, so a crash or a full disk never leaves a half-written object list.
  // A file without any write permission counts as read-only, as a Windows read-only file would.
  // Throws ProfileWriteError; the file is then unchanged.
  void save(const ProfileDocument& document) const;

 private:
  std::filesystem::path path_;
};

}  // namespace mirrox

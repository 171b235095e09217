#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace mirrox::agent {

// A private directory (mode 0700) created under `parent`, or without one under $TMPDIR, else
// /tmp, and removed with everything in it when the object goes. Throws std::runtime_error when it
// cannot be created.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const char* prefix, const std::optional<std::string>& parent = std::nullopt);
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace mirrox::agent

#include "shell/profile_file.h"

#include <cerrno>
#include <optional>
#include <string>

#include "link/file_io.h"
#include "link/link_fault.h"
#include "link/platform/files.h"

namespace mirrox {
namespace {

// The file a path leads to through symbolic links, whether or not it exists yet, so that a link the
// administrator set up stays a link. Nothing when the links go round in a circle.
std::optional<std::filesystem::path> linkTarget(std::filesystem::path path) {
  constexpr int kMaxLinks = 40;  // the system's own limit (ELOOP)
  for (int links = 0; links <= kMaxLinks; ++links) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) return path;
    const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
    if (ec) return std::nullopt;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return std::nullopt;
}

}  // namespace

ProfileWriteError::ProfileWriteError(const std::filesystem::path& path)
    : std::runtime_error("Unable to write to " + path.string()) {}

ProfileReadError::ProfileReadError(const std::string& reason)
    : std::runtime_error("Файл настроек не прочитан, и программа не будет его перезаписывать: " + reason) {}

ProfileDocument ProfileFile::load() const {
  // Missing, or a link that leads nowhere; any other failure shows when the file is opened.
  platform::FileAttributes attributes;
  const int error = platform::fileAttributes(path_, attributes);
  if (error == ENOENT || error == ENOTDIR) return {};
  try {
    return ProfileDocument::parse(InputFile(path_).readAll());
  } catch (const LinkFault& fault) {
    throw ProfileReadError(fault.what());
  }
}

ProfileDocument ProfileFile::loadForUpdate() const {
  try {
    return load();
  } catch (const ProfileReadError&) {
    throw ProfileWriteError(path_);
  }
}

void ProfileFile::save(const ProfileDocument& document) const {
  const auto target = linkTarget(path_);
  if (!target) throw ProfileWriteError(path_);
  // An existing file keeps what the administrator set up: its mode, owner and group. A new one is
  // left to the umask, which a shared installation sets so that the group may change the file.
  platform::FileAttributes kept;
  if (platform::fileAttributes(*target, kept) == 0 && platform::checkWritable(*target) != 0) {
    throw ProfileWriteError(path_);
  }

  ReplacementFile replacement(*target);
  if (!replacement.valid()) throw ProfileWriteError(path_);
  if (!replacement.write(document.serialize()) || platform::applyAttributes(replacement.fd(), kept) != 0 ||
      !replacement.commit()) {
    throw ProfileWriteError(path_);
  }
}

}  // namespace mirrox

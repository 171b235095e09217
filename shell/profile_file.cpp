#include "shell/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "link/file_io.h"
#include "link/link_fault.h"

namespace mirrox {
namespace {

struct Owner {
  uid_t user;
  gid_t group;
};

// Gives the new file the old one's owner and group where this process may: root may set both, an
// account its own groups. Otherwise the file belongs to this process's account, as any file it
// creates would.
void keepOwner(int fd, const Owner& owner) {
  if (::fchown(fd, owner.user, owner.group) == 0) return;
  if (::fchown(fd, static_cast<uid_t>(-1), owner.group) == 0) return;
}

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
  struct stat st {};
  // Missing, or a link that leads nowhere; any other failure shows when the file is opened.
  if (::stat(path_.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return {};
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
  mode_t mode = 0644;
  std::optional<Owner> owner;
  struct stat st {};
  if (::stat(target->c_str(), &st) == 0) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target->c_str(), W_OK) != 0) {
      throw ProfileWriteError(path_);
    }
    mode = st.st_mode & 07777;
    owner = Owner{st.st_uid, st.st_gid};
  }

  ReplacementFile replacement(*target);
  if (!replacement.valid()) throw ProfileWriteError(path_);
  if (owner) keepOwner(replacement.fd(), *owner);
  // The mode after the owner: a change of owner clears the set-id bits.
  if (!replacement.write(document.serialize()) || ::fchmod(replacement.fd(), mode) != 0 ||
      !replacement.commit()) {
    throw ProfileWriteError(path_);
  }
}

}  // namespace mirrox

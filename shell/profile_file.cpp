#include "shell/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <string>

#include "link/file_io.h"
#include "link/link_fault.h"

namespace mirrox {
namespace {

// Closes a descriptor and removes the temporary file unless the save completed.
class TempFile {
 public:
  explicit TempFile(std::string pattern) : path_(std::move(pattern)) {
    fd_ = ::mkstemp(path_.data());
    created_ = fd_ >= 0;
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (created_ && !committed_) ::unlink(path_.c_str());
  }

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  bool close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }
  void commit() { committed_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool created_ = false;
  bool committed_ = false;
};

bool writeAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

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
    InputFile in(path_);
    std::string bytes;
    std::array<char, 64 * 1024> chunk{};
    while (const std::size_t got = in.read(chunk)) bytes.append(chunk.data(), got);
    return ProfileDocument::parse(bytes);
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

  TempFile temp(target->string() + ".XXXXXX");
  if (!temp.valid()) throw ProfileWriteError(path_);
  if (owner) keepOwner(temp.fd(), *owner);
  // The mode after the owner: a change of owner clears the set-id bits.
  if (!writeAll(temp.fd(), document.serialize()) || ::fchmod(temp.fd(), mode) != 0 ||
      ::fsync(temp.fd()) != 0 || !temp.close() || ::rename(temp.path().c_str(), target->c_str()) != 0) {
    throw ProfileWriteError(path_);
  }
  temp.commit();
}

}  // namespace mirrox

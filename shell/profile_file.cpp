#include "shell/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

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

}  // namespace

ProfileWriteError::ProfileWriteError(const std::filesystem::path& path)
    : std::runtime_error("Unable to write to " + path.string()) {}

ProfileDocument ProfileFile::load() const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return {};
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ProfileDocument::parse(bytes);
}

void ProfileFile::save(const ProfileDocument& document) const {
  mode_t mode = 0644;
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path_.c_str(), W_OK) != 0) {
      throw ProfileWriteError(path_);
    }
    mode = st.st_mode & 07777;
  }

  TempFile temp(path_.string() + ".XXXXXX");
  if (!temp.valid()) throw ProfileWriteError(path_);
  if (!writeAll(temp.fd(), document.serialize()) || ::fchmod(temp.fd(), mode) != 0 ||
      ::fsync(temp.fd()) != 0 || !temp.close() || ::rename(temp.path().c_str(), path_.c_str()) != 0) {
    throw ProfileWriteError(path_);
  }
  temp.commit();
}

}  // namespace mirrox

#include "shell/template_writer.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "link/link_fault.h"
#include "schema/template_resources.h"

namespace mirrox {
namespace {

constexpr qint64 kChunk = 1 << 16;

std::string createError(const std::filesystem::path& path, const std::string& reason) {
  return kCannotCreateFileMessage + (" \"" + path.string() + "\". ") + reason;
}

// Closes the descriptor and removes a half-written file unless the write completed.
class NewFile {
 public:
  explicit NewFile(const std::filesystem::path& path)
      : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0660)) {}
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile() {
    if (fd_ >= 0) ::close(fd_);
    if (fd_ >= 0 && !done_) ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  void done() { done_ = true; }

 private:
  std::filesystem::path path_;
  int fd_;
  bool done_ = false;
};

// The server opens the file as the `firebird` account: hand the file to it where this process
// may (as root), else share it through the firebird group, else open it to everyone on this
// desktop machine.
void shareWithServer(int fd) {
  const passwd* user = ::getpwnam("firebird");
  const group* grp = ::getgrnam("firebird");
  if (user != nullptr && grp != nullptr && ::fchown(fd, user->pw_uid, grp->gr_gid) == 0) return;
  if (grp != nullptr && ::fchown(fd, static_cast<uid_t>(-1), grp->gr_gid) == 0) return;
  ::fchmod(fd, 0666);
}

}  // namespace

std::optional<std::string> WriteTemplate(const std::filesystem::path& path, int dbType) {
  const char* resourcePath = templateResourcePath(dbType);
  if (resourcePath == nullptr) return createError(path, "Неизвестный тип базы данных.");
  QFile resource(resourcePath);
  if (!resource.open(QIODevice::ReadOnly)) {
    return createError(path, "Программа не содержит шаблона этой базы данных.");
  }

  NewFile file(path);
  if (file.fd() < 0) return createError(path, std::strerror(errno));
  ::fchmod(file.fd(), 0660);  // whatever the umask took away
  while (!resource.atEnd()) {
    const QByteArray chunk = resource.read(kChunk);
    if (chunk.isEmpty()) return createError(path, "Шаблон не прочитан.");
    qint64 done = 0;
    while (done < chunk.size()) {
      const ssize_t n =
          ::write(file.fd(), chunk.constData() + done, static_cast<std::size_t>(chunk.size() - done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return createError(path, std::strerror(errno));
      done += n;
    }
  }
  if (::fsync(file.fd()) != 0) return createError(path, std::strerror(errno));
  shareWithServer(file.fd());
  file.done();
  return std::nullopt;
}

}  // namespace mirrox

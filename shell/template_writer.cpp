#include "shell/template_writer.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "link/file_io.h"
#include "link/link_fault.h"
#include "schema/template_resources.h"

namespace mirrox {
namespace {

constexpr qint64 kChunk = 1 << 16;

std::string createError(const std::filesystem::path& path, const std::string& reason) {
  return kCannotCreateFileMessage + (" \"" + path.string() + "\". ") + reason;
}

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

  NewFile file(path, 0660);
  if (file.error() != 0) return createError(path, std::strerror(file.error()));
  ::fchmod(file.fd(), 0660);  // whatever the umask took away
  while (!resource.atEnd()) {
    const QByteArray chunk = resource.read(kChunk);
    if (chunk.isEmpty()) return createError(path, "Шаблон не прочитан.");
    const int error = file.write(std::string_view(chunk.constData(), static_cast<std::size_t>(chunk.size())));
    if (error != 0) return createError(path, std::strerror(error));
  }
  if (const int error = file.sync(); error != 0) return createError(path, std::strerror(error));
  shareWithServer(file.fd());
  file.keep();
  return std::nullopt;
}

}  // namespace mirrox

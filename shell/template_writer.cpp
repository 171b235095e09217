#include "shell/template_writer.h"

#include <QFile>

#include "link/file_io.h"
#include "link/link_fault.h"
#include "link/platform/files.h"
#include "schema/template_resources.h"

namespace mirrox {
namespace {

constexpr qint64 kChunk = 1 << 16;

std::string createError(const std::filesystem::path& path, const std::string& reason) {
  return kCannotCreateFileMessage + (" \"" + path.string() + "\". ") + reason;
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
  if (file.error() != 0) return createError(path, platform::errorText(file.error()));
  while (!resource.atEnd()) {
    const QByteArray chunk = resource.read(kChunk);
    if (chunk.isEmpty()) return createError(path, "Шаблон не прочитан.");
    const int error = file.write(std::string_view(chunk.constData(), static_cast<std::size_t>(chunk.size())));
    if (error != 0) return createError(path, platform::errorText(error));
  }
  if (const int error = file.sync(); error != 0) return createError(path, platform::errorText(error));
  platform::makeUsableByDatabaseServer(file.fd());
  file.keep();
  return std::nullopt;
}

}  // namespace mirrox

#include "engine/row_error_file.h"

#include <cerrno>

#include "engine/engine_messages.h"
#include "fb/error.h"
#include "link/cp1251.h"
#include "link/file_io.h"
#include "link/line_ends.h"

namespace mirrox {

void appendRowError(const std::filesystem::path& file, DateTime now, std::string_view message,
                    std::string_view statement, std::span<const std::optional<std::string>> values) {
  std::string entry = utf8ToCp1251(formatRussianDateTime(now) + " " + withCrLfLineEnds(message) + "\r\n");
  entry += utf8ToCp1251(statement);
  entry += "\r\n\r\n";
  for (const auto& value : values) {
    if (value) entry += *value;
    entry += ':';
  }
  entry += "\r\n";
  UniqueFd out(platform::openFile(file, platform::FileAccess::Append));
  int error = out.valid() ? writeAll(out.get(), entry) : errno;
  // The close is checked too: on some file systems the last write fails only there.
  const int closed = out.close();
  if (error == 0) error = closed;
  if (error != 0) throw fb::Error(messages::kCannotWrite + file.string() + ": " + platform::errorText(error));
}

}  // namespace mirrox

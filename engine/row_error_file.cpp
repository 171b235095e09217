#include "engine/row_error_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "engine/engine_messages.h"
#include "fb/error.h"
#include "link/cp1251.h"
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
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out.write(entry.data(), static_cast<std::streamsize>(entry.size()));
  out.close();
  if (!out) throw fb::Error(messages::kCannotWrite + file.string() + ": " + std::strerror(errno));
}

}  // namespace mirrox

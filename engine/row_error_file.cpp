#include "engine/row_error_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "engine/engine_messages.h"
#include "engine/local_db_error.h"
#include "link/cp1251.h"

namespace mirrox {
namespace {

std::string withCrLf(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace

void appendRowError(const std::filesystem::path& file, DateTime now, std::string_view message,
                    std::string_view statement, const std::vector<std::optional<std::string>>& values) {
  std::string entry = utf8ToCp1251(formatRussianDateTime(now) + " " + withCrLf(message) + "\r\n");
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
  if (!out) throw LocalDbError(messages::kCannotWrite + file.string() + ": " + std::strerror(errno));
}

}  // namespace mirrox

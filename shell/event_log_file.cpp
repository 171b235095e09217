#include "shell/event_log_file.h"

#include <system_error>

#include "link/cp1251.h"
#include "link/file_io.h"
#include "link/line_ends.h"
#include "link/platform/files.h"

namespace mirrox {
EventLogFile::EventLogFile(std::filesystem::path logDir, Clock& clock)
    : logDir_(std::move(logDir)), clock_(clock) {}

void EventLogFile::trimAtStart() const {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path(), ec);
  if (ec) return;  // absent or unreadable counts as absent
  if (size / kMiB > kMaxWholeMiB) std::filesystem::remove(path(), ec);
}

bool EventLogFile::ensureLogDir() const {
  std::error_code ec;
  if (std::filesystem::is_directory(logDir_, ec)) return true;
  return std::filesystem::create_directory(logDir_, ec);
}

void EventLogFile::append(const std::string& text) const {
  const std::string entry =
      formatDateTime("dd.mm hh:nn:ss ", clock_.now()) + utf8ToCp1251(withCrLfLineEnds(text)) + "\r\n";
  const UniqueFd file(platform::openFile(path(), platform::FileAccess::Append));
  if (file.valid()) writeAll(file.get(), entry);
}

}  // namespace mirrox

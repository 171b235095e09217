#include "agent/agent_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "link/date_time.h"
#include "link/file_io.h"

namespace mirrox::agent {

AgentLog::AgentLog() : fd_(STDERR_FILENO) {}

AgentLog::AgentLog(const std::filesystem::path& path)
    : owned_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666)), fd_(owned_.get()) {
  if (!owned_.valid()) {
    throw std::runtime_error("cannot open log file " + path.string() + ": " + std::strerror(errno));
  }
}

void AgentLog::write(std::string_view text) {
  std::string line = formatDateTime("dd.mm.yyyy hh:nn:ss ", localNow());
  line.reserve(line.size() + text.size() + 1);
  for (char c : text) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
  line.push_back('\n');
  // Each entry reaches the file at once, unbuffered: the log is what a person reads after a crash.
  const std::lock_guard lock(mutex_);
  writeAll(fd_, line);
}

}  // namespace mirrox::agent

#include "agent/agent_log.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "link/date_time.h"

namespace mirrox::agent {

AgentLog::AgentLog() : file_(stderr), owned_(false) {}

AgentLog::AgentLog(const std::filesystem::path& path)
    : file_(std::fopen(path.c_str(), "ab")), owned_(true) {
  if (file_ == nullptr) {
    throw std::runtime_error("cannot open log file " + path.string() + ": " + std::strerror(errno));
  }
}

AgentLog::~AgentLog() {
  if (owned_) std::fclose(file_);
}

void AgentLog::write(std::string_view text) {
  std::string line = formatDateTime("dd.mm.yyyy hh:nn:ss ", localNow());
  line.reserve(line.size() + text.size() + 1);
  for (char c : text) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
  line.push_back('\n');
  const std::lock_guard lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), file_);
  // Each entry reaches the file at once: the log is what a person reads after a crash.
  std::fflush(file_);
}

}  // namespace mirrox::agent

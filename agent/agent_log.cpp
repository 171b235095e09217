#include "agent/agent_log.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "link/date_time.h"

namespace mirrox::agent {

AgentLog::AgentLog() : file_(stderr), owned_(false) {}

AgentLog::AgentLog(const std::filesystem::path& path)
    : path_(path), file_(std::fopen(path.c_str(), "ab")), owned_(true) {
  if (file_ == nullptr) {
    throw std::runtime_error("cannot open log file " + path.string() + ": " + std::strerror(errno));
  }
}

AgentLog::~AgentLog() {
  if (owned_) std::fclose(file_);
}

std::optional<std::string> AgentLog::reopen() {
  if (!path_) return std::nullopt;
  std::FILE* fresh = std::fopen(path_->c_str(), "ab");
  if (fresh == nullptr) return "cannot open log file " + path_->string() + ": " + std::strerror(errno);
  const std::lock_guard lock(mutex_);
  std::fclose(file_);
  file_ = fresh;
  return std::nullopt;
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

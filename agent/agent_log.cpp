#include "agent/agent_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "link/date_time.h"
#include "link/file_io.h"

namespace mirrox::agent {
namespace {

UniqueFd openForAppend(const std::filesystem::path& path) {
  return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
}

}  // namespace

AgentLog::AgentLog() : fd_(STDERR_FILENO) {}

AgentLog::AgentLog(const std::filesystem::path& path)
    : path_(path), owned_(openForAppend(path)), fd_(owned_.get()) {
  if (!owned_.valid()) {
    throw std::runtime_error("cannot open log file " + path.string() + ": " + std::strerror(errno));
  }
}

std::optional<std::string> AgentLog::reopen() {
  if (!path_) return std::nullopt;
  UniqueFd fresh = openForAppend(*path_);
  if (!fresh.valid()) return "cannot open log file " + path_->string() + ": " + std::strerror(errno);
  const std::lock_guard lock(mutex_);
  owned_ = std::move(fresh);
  fd_ = owned_.get();
  return std::nullopt;
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

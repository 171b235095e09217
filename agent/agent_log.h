#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "link/unique_fd.h"

namespace mirrox::agent {

// The agent's log: one time-stamped line per entry ("dd.mm.yyyy hh:nn:ss text"), to a file or to
// stderr. Command lines are logged as the bytes that arrived (code page 1251), like every other
// text this system writes to files. Safe to use from several connection threads.
class AgentLog {
 public:
  // Logs to stderr.
  AgentLog();
  // Appends to `path`; throws std::runtime_error when it cannot be opened.
  explicit AgentLog(const std::filesystem::path& path);
  AgentLog(const AgentLog&) = delete;
  AgentLog& operator=(const AgentLog&) = delete;

  // CR and LF inside `text` are written as blanks so that one entry stays one line.
  void write(std::string_view text);

  // Opens the log file again by its name (a log rotated away keeps what it has, and the entries
  // go on in a new file of that name). Logging to stderr: nothing to do. When the file cannot be
  // opened the log stays where it was and the reason is returned.
  std::optional<std::string> reopen();

 private:
  std::mutex mutex_;                           // one entry at a time
  std::optional<std::filesystem::path> path_;  // the log file; none for stderr
  UniqueFd owned_;                             // guarded by mutex_
  int fd_;                                     // guarded by mutex_
};

}  // namespace mirrox::agent

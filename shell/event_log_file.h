#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "link/clock.h"

namespace mirrox {

// The log file "mirrox.txt" in LogDir: one line per entry, "dd.mm hh:nn:ss " + text + CR LF, in
// code page 1251. The file is opened for every line, so it is complete at every moment.
class EventLogFile {
 public:
  static constexpr std::uintmax_t kMiB = 1048576;
  // A file of more than this many whole MiB is deleted at start-up.
  static constexpr std::uintmax_t kMaxWholeMiB = 10;

  EventLogFile(std::filesystem::path logDir, Clock& clock);

  const std::filesystem::path& logDir() const { return logDir_; }
  std::filesystem::path path() const { return logDir_ / "mirrox.txt"; }

  // Deletes the file when its size in whole MiB is greater than 10, so a log of 11 MiB or more
  // starts afresh.
  void trimAtStart() const;

  // Creates LogDir (one level) when it does not exist. Returns false when it cannot.
  bool ensureLogDir() const;

  // Appends one entry. A text holding CR LF is written unchanged, so only its first line carries
  // the time stamp; a bare LF in it (a database server's message) is written as CR LF. A file that cannot be
  // opened or written loses the line without a word: the log view still shows it.
  void append(const std::string& text) const;

 private:
  std::filesystem::path logDir_;
  Clock& clock_;
};

}  // namespace mirrox

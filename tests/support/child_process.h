#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirrox::testing_support {

// A program started by a test; killed when the object goes away if it is still running.
class ChildProcess {
 public:
  // Starts `program` in `workDir` with `args`; `env` entries are added to this process's
  // environment. Standard output and error are appended to `outputFile` when given (else they are
  // dropped), standard error to `errorFile` instead when that is given.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env, const std::filesystem::path& workDir,
               const std::filesystem::path& outputFile = {}, const std::filesystem::path& errorFile = {});
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // The exit code once the process has ended within `limit`, or nullopt while it still runs.
  // A process ended by a signal gives 128 + the signal number.
  std::optional<int> waitFor(std::chrono::milliseconds limit);
  // Sends `signal` to a process that still runs, then waits for it as waitFor does.
  std::optional<int> stop(int signal, std::chrono::milliseconds limit);
  bool running();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Polls `condition` until it holds or `limit` has passed; a guard against hangs, not a timing.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20));

// Polls `file` until it holds `needle`; false when `limit` passes first. A file that is not there
// yet holds nothing.
bool waitForText(const std::filesystem::path& file, std::string_view needle, std::chrono::milliseconds limit);

// Runs `command` (a program found on the PATH, then its arguments) through the shell to its end and
// returns its exit code, -1 when a signal ended it; `output` gets what it wrote to its standard
// output and error, in the order written. Throws std::runtime_error when it cannot be started.
// Defined inline, so a test that links nothing of the support library can run a program too.
int runToEnd(const std::vector<std::string>& command, std::string& output);

}  // namespace mirrox::testing_support

#include "tests/support/child_process_inl.h"

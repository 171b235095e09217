#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
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
  bool running();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Polls `condition` until it holds or `limit` has passed; a guard against hangs, not a timing.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace mirrox::testing_support

#include "tests/support/child_process_inl.h"

#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace mirrox::testing_support {

// The path of the built agent.
std::filesystem::path agentExecutable();

struct Finished {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the agent with `arguments` to its end (for --help and bad options).
// `environment` entries ("NAME=value") are set on top of the test's own.
Finished runAgentToExit(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& environment = {});

// A running mirrox-agent on 127.0.0.1 and a port of its own choosing. Its results go under
// `tmpDirectory` (its TMPDIR), its standard output to `tmpDirectory`/agent.out and its standard
// error to `tmpDirectory`/agent.err. Stopped with SIGTERM when the object goes.
class AgentProcess {
 public:
  AgentProcess(const std::filesystem::path& tmpDirectory, std::vector<std::string> extraArguments);
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  std::uint16_t port() const { return port_; }
  pid_t pid() const { return process_ ? process_->pid() : -1; }
  // Also reaps the process once it has ended.
  bool running() { return process_ && process_->running(); }
  // Sends SIGTERM and returns the exit code (-1 when it died of a signal or was stopped before).
  int stop();
  // Ends the agent with SIGKILL, as a crash would, and reaps it; it no longer runs afterwards.
  void kill();

 private:
  std::unique_ptr<ChildProcess> process_;
  std::uint16_t port_ = 0;
};

}  // namespace mirrox::testing_support

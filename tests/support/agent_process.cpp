#include "tests/support/agent_process.h"

#include <signal.h>

#include <chrono>
#include <map>
#include <stdexcept>

#include "tests/support/lsan_options.h"
#include "tests/support/temp_dir.h"

namespace mirrox::testing_support {
namespace {

// A generous limit that only keeps a broken agent from hanging the suite; no test relies on it.
constexpr std::chrono::seconds kPatience{20};

// In sanitizer builds the agent's own leak check must not blame the Firebird client library.
std::map<std::string, std::string> agentEnvironment(const std::vector<std::string>& entries) {
  std::map<std::string, std::string> environment{{"LSAN_OPTIONS", kLsanOptions}};
  for (const std::string& entry : entries) {
    const std::size_t equals = entry.find('=');
    environment[entry.substr(0, equals)] = equals == std::string::npos ? "" : entry.substr(equals + 1);
  }
  return environment;
}

std::string readIfThere(const std::filesystem::path& path) {
  return std::filesystem::exists(path) ? readFile(path) : std::string();
}

}  // namespace

std::filesystem::path agentExecutable() { return std::filesystem::path(MIRROX_BIN_DIR) / "mirrox-agent"; }

Finished runAgentToExit(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& environment) {
  const TempDir dir;
  ChildProcess agent(agentExecutable(), arguments, agentEnvironment(environment), dir.path(), dir / "out",
                     dir / "err");
  Finished finished;
  const std::optional<int> code = agent.waitFor(kPatience);
  // An agent that never ends on its own is killed with the object; it counts as no exit code.
  finished.exitCode = code && *code < 128 ? *code : -1;
  finished.out = readIfThere(dir / "out");
  finished.err = readIfThere(dir / "err");
  return finished;
}

AgentProcess::AgentProcess(const std::filesystem::path& tmpDirectory,
                           std::vector<std::string> extraArguments) {
  std::vector<std::string> arguments = {"--bind", "127.0.0.1", "--port", "0"};
  arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
  const std::filesystem::path out = tmpDirectory / "agent.out";
  process_ = std::make_unique<ChildProcess>(agentExecutable(), arguments,
                                            agentEnvironment({"TMPDIR=" + tmpDirectory.string()}),
                                            tmpDirectory, out, tmpDirectory / "agent.err");

  // The first line says where it listens. Waiting for it is waiting for a condition: the limit
  // only keeps a broken agent from hanging the suite.
  eventually([&] { return readIfThere(out).find('\n') != std::string::npos || !process_->running(); },
             kPatience);
  const std::string first = readIfThere(out);
  const std::string prefix = "listening on 127.0.0.1:";
  if (first.rfind(prefix, 0) != 0 || first.find('\n') == std::string::npos) {
    stop();
    throw std::runtime_error("agent did not start; said: " + first);
  }
  port_ = static_cast<std::uint16_t>(std::stoi(first.substr(prefix.size())));
}

AgentProcess::~AgentProcess() { stop(); }

int AgentProcess::stop() {
  if (!process_) return -1;
  const std::optional<int> code = process_->stop(SIGTERM, kPatience);
  process_.reset();
  return code && *code < 128 ? *code : -1;
}

void AgentProcess::kill() {
  if (process_) process_->stop(SIGKILL, kPatience);
}

}  // namespace mirrox::testing_support

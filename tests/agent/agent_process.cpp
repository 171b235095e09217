#include "tests/agent/agent_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tests/support/lsan_options.h"

extern char** environ;

namespace mirrox::agent::testing {

namespace {

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  void closeRead() {
    if (read >= 0) ::close(read);
    read = -1;
  }
  void closeWrite() {
    if (write >= 0) ::close(write);
    write = -1;
  }
};

// Starts the agent with stdout and stderr on the given descriptors and extra environment entries.
pid_t spawnAgent(const std::vector<std::string>& arguments, int out, int err,
                 const std::vector<std::string>& extraEnvironment) {
  const std::string program = agentExecutable().string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  std::vector<std::string> environment = extraEnvironment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool overridden = false;
    for (const std::string& extra : extraEnvironment) {
      overridden = overridden || text.substr(0, text.find('=') + 1) == extra.substr(0, extra.find('=') + 1);
    }
    if (!overridden) environment.push_back(text);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(failed));
  return pid;
}

std::string readAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
  return text;
}

int waitExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::filesystem::path agentExecutable() { return std::filesystem::path(MIRROX_BIN_DIR) / "mirrox-agent"; }

Finished runAgentToExit(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& environment) {
  Pipe out;
  Pipe err;
  const pid_t pid = spawnAgent(arguments, out.write, err.write, environment);
  out.closeWrite();
  err.closeWrite();
  Finished finished;
  finished.out = readAll(out.read);  // small outputs: one pipe at a time cannot fill up
  finished.err = readAll(err.read);
  finished.exitCode = waitExit(pid);
  return finished;
}

AgentProcess::AgentProcess(const std::filesystem::path& tmpDirectory, std::vector<std::string> extraArguments) {
  std::vector<std::string> arguments = {"--bind", "127.0.0.1", "--port", "0"};
  arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
  Pipe out;
  const int err = ::open((tmpDirectory / "agent.err").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (err < 0) throw std::runtime_error("cannot create agent.err");
  // In sanitizer builds the agent's own leak check must not blame the Firebird client library.
  pid_ = spawnAgent(arguments, out.write, err,
                    {"TMPDIR=" + tmpDirectory.string(),
                     std::string("LSAN_OPTIONS=") + testing_support::kLsanOptions});
  ::close(err);
  out.closeWrite();

  // The first line says where it listens. Waiting for it is waiting for a condition: the limit
  // only keeps a broken agent from hanging the suite.
  std::string first;
  while (first.find('\n') == std::string::npos) {
    pollfd fd{out.read, POLLIN, 0};
    if (::poll(&fd, 1, 20000) <= 0) break;
    char buffer[256];
    const ssize_t got = ::read(out.read, buffer, sizeof buffer);
    if (got <= 0) break;
    first.append(buffer, static_cast<std::size_t>(got));
  }
  const std::string prefix = "listening on 127.0.0.1:";
  if (first.rfind(prefix, 0) != 0) {
    stop();
    throw std::runtime_error("agent did not start; said: " + first);
  }
  port_ = static_cast<std::uint16_t>(std::stoi(first.substr(prefix.size())));
}

AgentProcess::~AgentProcess() { stop(); }

bool AgentProcess::running() {
  if (pid_ < 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
  pid_ = -1;
  return false;
}

int AgentProcess::stop() {
  if (pid_ < 0) return -1;
  ::kill(pid_, SIGTERM);
  const int code = waitExit(pid_);
  pid_ = -1;
  return code;
}

}  // namespace mirrox::agent::testing

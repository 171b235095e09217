#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace mirrox::testing_support {

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env,
                           const std::filesystem::path& workDir, const std::filesystem::path& outputFile,
                           const std::filesystem::path& errorFile) {
  std::vector<std::string> argvStrings{program.string()};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::setpgid(0, 0);
    if (::chdir(workDir.c_str()) != 0) ::_exit(126);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    const int out = outputFile.empty() ? ::open("/dev/null", O_WRONLY)
                                       : ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    if (!errorFile.empty()) {
      const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (err >= 0) ::dup2(err, 2);
    }
    const int in = ::open("/dev/null", O_RDONLY);
    if (in >= 0) ::dup2(in, 0);
    std::vector<char*> argv;
    for (auto& s : argvStrings) argv.push_back(s.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (running()) {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

bool ChildProcess::running() {
  if (status_) return false;
  int status = 0;
  const pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  if (r == pid_)
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  else
    status_ = -1;
  return false;
}

std::optional<int> ChildProcess::waitFor(std::chrono::milliseconds limit) {
  eventually([this] { return !running(); }, limit);
  return status_;
}

std::optional<int> ChildProcess::stop(int signal, std::chrono::milliseconds limit) {
  if (running()) ::kill(pid_, signal);
  return waitFor(limit);
}

bool waitForText(const std::filesystem::path& file, std::string_view needle,
                 std::chrono::milliseconds limit) {
  return eventually(
      [&] { return std::filesystem::exists(file) && readFile(file).find(needle) != std::string::npos; },
      limit);
}

}  // namespace mirrox::testing_support

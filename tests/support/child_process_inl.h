#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <utility>

namespace mirrox::testing_support {

template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

inline int runToEnd(const std::vector<std::string>& command, std::string& output) {
  std::string line;
  for (const std::string& word : command) {
    line += '\'';
    for (const char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += "' ";
  }
  line += "2>&1";
  // Closed (and the shell reaped) also when collecting the output throws.
  struct Pipe {
    FILE* file;
    ~Pipe() {
      if (file != nullptr) ::pclose(file);
    }
    int close() { return ::pclose(std::exchange(file, nullptr)); }
  } pipe{::popen(line.c_str(), "r")};
  if (pipe.file == nullptr)
    throw std::runtime_error("cannot run " + (command.empty() ? line : command.front()));
  std::array<char, 4096> buffer{};
  output.clear();
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.file)) > 0) output.append(buffer.data(), n);
  const int status = pipe.close();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace mirrox::testing_support

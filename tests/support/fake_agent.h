#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/unique_fd.h"

namespace mirrox::testing_support {

// What the fake agent does on one connection, step by step.
class Script {
 public:
  enum class Action { ReadLine, Send, Pause, Stop, Reset, Close };
  struct Step {
    Action action;
    std::string bytes;
  };

  // Waits for one command line (recorded with its terminator).
  Script& readLine();
  // Waits for one command line, then answers with `line` and LF.
  Script& reply(std::string_view line);
  // Sends bytes exactly as given.
  Script& send(std::string_view bytes);
  // A file block: the 4-byte big-endian length, then the payload.
  Script& fileBlock(std::string_view payload);
  // A file block whose length field says `length` whatever the payload holds (short payloads,
  // negative lengths).
  Script& fileBlock(std::int32_t length, std::string_view payload);
  // Holds back whatever comes next for this long: a slow agent, the fault itself under test.
  Script& pause(std::chrono::milliseconds duration);
  // Stops answering; the connection stays open (and further lines are still recorded) until the
  // client closes it or the agent goes away.
  Script& stall();
  // Drops the connection with a reset (RST), as a crashed peer would.
  Script& reset();
  // Closes the connection in order (FIN).
  Script& close();

  const std::vector<Step>& steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

struct FakeAgentOptions {
  std::string bindAddress = "127.0.0.1";
  // When set, the agent listens inside this network namespace (a path such as /run/netns/<name>).
  std::string networkNamespace;
};

// A scriptable agent on a real TCP port for fault injection. Each accepted connection plays the
// next script on a thread of its own; a connection beyond the scripts is closed at once. After its script a
// connection is kept open and read until the client closes it, so every line the client sends is recorded.
class FakeAgent {
 public:
  explicit FakeAgent(std::vector<Script> connections, FakeAgentOptions options = {});
  ~FakeAgent();
  FakeAgent(const FakeAgent&) = delete;
  FakeAgent& operator=(const FakeAgent&) = delete;

  // Closes the listener and every connection and waits for the agent's threads. Idempotent; the
  // destructor calls it.
  void stop();

  const std::string& host() const { return options_.bindAddress; }
  int port() const { return port_; }

  // Every command line received so far, on every connection, with its terminator.
  std::vector<std::string> lines() const;
  int connectionsAccepted() const;
  // Waits until `count` lines have arrived or the limit passes; true when they did.
  bool waitForLines(std::size_t count, std::chrono::milliseconds limit) const;
  // Waits until the client closed its side of the connection being served.
  bool waitForClientClose(std::chrono::milliseconds limit) const;

 private:
  void run();
  void serve(int fd, const Script& script);
  bool readOneLine(int fd, std::string& pending);
  void drain(int fd, std::string& pending);

  FakeAgentOptions options_;
  std::vector<Script> scripts_;
  UniqueFd listenFd_;
  int port_ = 0;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> lines_;
  int accepted_ = 0;
  int clientClosed_ = 0;
  std::set<int> openFds_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace mirrox::testing_support

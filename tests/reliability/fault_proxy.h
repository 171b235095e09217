#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/platform/sockets.h"

namespace mirrox::reliability {

// A TCP relay on 127.0.0.1 in front of an agent: every client connection gets a connection of its
// own to the agent and bytes pass unchanged both ways. Armed with a text, it lets the first command
// line holding that text through to the agent and then drops the client's connection with a reset
// (RST) while the agent works on the command, as a network that breaks during a select would.
class FaultProxy {
 public:
  explicit FaultProxy(std::uint16_t agentPort);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  std::uint16_t port() const { return port_; }
  // The agent that connections accepted from now on are relayed to.
  void setAgentPort(std::uint16_t port) { agentPort_ = port; }
  // One reset, after the next command line that holds `text`.
  void resetAfter(std::string text);
  // True once the armed reset has been done.
  bool resetDone() const { return resetDone_; }

 private:
  void acceptLoop();
  void relay(platform::UniqueSocket client);
  // Forwards a chunk from the client; false when the connection is to be reset after it.
  bool forwardFromClient(platform::NativeSocket agent, std::string_view data, std::string& line);

  platform::UniqueSocket listener_;
  std::uint16_t port_ = 0;
  std::atomic<std::uint16_t> agentPort_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> resetDone_{false};
  std::mutex mutex_;
  std::string trigger_;
  std::vector<std::thread> relays_;
  std::thread acceptor_;
};

}  // namespace mirrox::reliability

#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "agent/allowed_networks.h"
#include "agent/session.h"
#include "agent/socket.h"
#include "link/unique_fd.h"

namespace mirrox::agent {

// Accepts clients and serves each on a thread of its own, so that a client that hangs does not
// keep the next one out. Clients usually come one after another; nothing is shared between them
// but the log and the result counter.
class Server {
 public:
  // Binds at once, so that the port is known before run(). Throws SocketError. A client whose
  // address `allowed` does not allow is closed at once and logged.
  // REQUIRES: what `context` points to outlives the server.
  Server(const std::string& bindAddress, std::uint16_t port, SessionContext context,
         AllowedNetworks allowed = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  std::uint16_t port() const { return listener_.port(); }

  // Serves until stop() is called; then ends every session (their connections are shut down, so
  // each ends after the command it is running) and returns.
  void run();
  // Thread-safe; wakes run() at once.
  void stop() noexcept;

 private:
  struct Connection {
    Socket socket;
    std::thread thread;
    std::atomic<bool> finished{false};
  };
  void reapFinished();

  Listener listener_;
  SessionContext context_;
  AllowedNetworks allowed_;
  // A byte written here wakes run() out of its wait.
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::list<std::unique_ptr<Connection>> connections_;  // guarded by mutex_
};

}  // namespace mirrox::agent

#include "agent/server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "agent/agent_log.h"

namespace mirrox::agent {

Server::Server(const std::string& bindAddress, std::uint16_t port, SessionContext context,
               AllowedNetworks allowed)
    : listener_(bindAddress, port), context_(std::move(context)), allowed_(std::move(allowed)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw SocketError(std::string("pipe: ") + std::strerror(errno));
  wakeRead_.reset(fds[0]);
  wakeWrite_.reset(fds[1]);
}

Server::~Server() {
  stop();
  {
    const std::lock_guard lock(mutex_);
    for (auto& connection : connections_) connection->socket.shutdownBoth();
  }
  // Joined outside the lock: a finishing session does not need it, but joining under it is a
  // needless wait for everyone else.
  std::list<std::unique_ptr<Connection>> remaining;
  {
    const std::lock_guard lock(mutex_);
    remaining.swap(connections_);
  }
  for (auto& connection : remaining) {
    if (connection->thread.joinable()) connection->thread.join();
  }
}

void Server::stop() noexcept {
  if (stopping_.exchange(true)) return;
  const char byte = 0;
  // Failure is impossible in practice (the pipe is empty); run() also checks the flag.
  [[maybe_unused]] const ssize_t written = ::write(wakeWrite_.get(), &byte, 1);
}

void Server::run() {
  while (!stopping_) {
    pollfd fds[2] = {{listener_.fd(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw SocketError(std::string("poll: ") + std::strerror(errno));
    }
    reapFinished();
    if (stopping_ || (fds[0].revents & POLLIN) == 0) continue;
    std::string peer;
    std::optional<Socket> socket = listener_.accept(&peer);
    if (!socket) continue;
    if (!allowed_.allows(peer.substr(0, peer.rfind(':')))) {
      // Not a word to a client that is not the dispatch centre: the connection just ends.
      context_.log->write(peer + " refused: not an allowed address");
      continue;
    }

    auto connection = std::make_unique<Connection>();
    connection->socket = std::move(*socket);
    Connection* raw = connection.get();
    const std::lock_guard lock(mutex_);
    connections_.push_back(std::move(connection));
    raw->thread = std::thread([this, raw, peer] {
      Session session(raw->socket, peer, context_);
      session.run();
      // The client sees the end at once; the descriptor itself is closed when the thread is
      // reaped, so that stop() never touches a descriptor number that was reused meanwhile.
      raw->socket.shutdownBoth();
      raw->finished = true;
    });
  }
}

void Server::reapFinished() {
  std::list<std::unique_ptr<Connection>> finished;
  {
    const std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->finished) {
        finished.push_back(std::move(*it));
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& connection : finished) connection->thread.join();
}

}  // namespace mirrox::agent

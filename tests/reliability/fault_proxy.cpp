#include "tests/reliability/fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "link/unique_fd.h"

namespace mirrox::reliability {
namespace {

// How often the threads look at the stop request while nothing happens.
constexpr int kPollMs = 100;

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool sendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

// Closing with a zero linger time sends RST instead of FIN.
void resetConnection(int fd) {
  const linger abort{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

}  // namespace

FaultProxy::FaultProxy(std::uint16_t agentPort) : agentPort_(agentPort) {
  UniqueFd listener(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (listener.get() < 0 ||
      ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.get(), 8) != 0 ||
      ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error(std::string("fault proxy: cannot listen: ") + std::strerror(errno));
  }
  port_ = ntohs(address.sin_port);
  listener_ = std::move(listener);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

FaultProxy::~FaultProxy() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& relay : relays_) relay.join();
}

void FaultProxy::resetAfter(std::string text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  trigger_ = std::move(text);
  resetDone_ = false;
}

void FaultProxy::acceptLoop() {
  while (!stopping_) {
    pollfd waiting{listener_.get(), POLLIN, 0};
    if (::poll(&waiting, 1, kPollMs) <= 0) continue;
    const int client = ::accept(listener_.get(), nullptr, nullptr);
    if (client < 0) continue;
    relays_.emplace_back([this, client] { relay(client); });
  }
}

void FaultProxy::relay(int clientFd) {
  const UniqueFd client(clientFd);
  const UniqueFd agent(::socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in address = loopback(agentPort_);
  if (agent.get() < 0 ||
      ::connect(agent.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return;  // the client sees its connection closed, as with an agent that is not there
  }
  std::string line;
  char buffer[16384];
  while (!stopping_) {
    pollfd both[2] = {{client.get(), POLLIN, 0}, {agent.get(), POLLIN, 0}};
    if (::poll(both, 2, kPollMs) <= 0) continue;
    if (both[0].revents != 0) {
      const ssize_t got = ::recv(client.get(), buffer, sizeof buffer, 0);
      if (got <= 0) return;
      if (!forwardFromClient(agent.get(), buffer, static_cast<std::size_t>(got), line)) {
        resetConnection(client.get());
        return;
      }
    }
    if (both[1].revents != 0) {
      const ssize_t got = ::recv(agent.get(), buffer, sizeof buffer, 0);
      if (got <= 0 || !sendAll(client.get(), buffer, static_cast<std::size_t>(got))) return;
    }
  }
}

bool FaultProxy::forwardFromClient(int agent, const char* data, std::size_t size, std::string& line) {
  if (!sendAll(agent, data, size)) return false;
  line.append(data, size);
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!trigger_.empty()) {
    // Only complete lines count: the agent must have the whole command before the reset.
    const std::size_t end = line.rfind('\n');
    if (end != std::string::npos && line.substr(0, end).find(trigger_) != std::string::npos) {
      trigger_.clear();
      resetDone_ = true;
      return false;
    }
  }
  const std::size_t end = line.rfind('\n');
  if (end != std::string::npos) line.erase(0, end + 1);
  return true;
}

}  // namespace mirrox::reliability

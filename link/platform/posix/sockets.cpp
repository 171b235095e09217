#include "link/platform/sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace mirrox::platform {
namespace {

int fdOf(NativeSocket socket) { return static_cast<int>(socket); }

int option(NativeSocket socket, int level, int name, int value) noexcept {
  return ::setsockopt(fdOf(socket), level, name, &value, sizeof value) == 0 ? 0 : errno;
}

sockaddr_in addressOf(std::uint32_t address, int port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = htonl(address);
  result.sin_port = htons(static_cast<std::uint16_t>(port));
  return result;
}

struct AddrInfoDeleter {
  void operator()(addrinfo* info) const noexcept { ::freeaddrinfo(info); }
};

}  // namespace

void UniqueSocket::reset(NativeSocket socket) noexcept {
  if (socket_ != kNoSocket) ::close(fdOf(socket_));
  socket_ = socket;
}

int lastSocketError() noexcept { return errno; }

std::string socketErrorText(int error) { return std::strerror(error); }

int connectionRefusedError() noexcept { return ECONNREFUSED; }

bool isConnectionLost(int error) noexcept { return error == ECONNRESET || error == EPIPE; }

NativeSocket openTcpSocket() noexcept {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kNoSocket : fd;
}

std::optional<std::uint32_t> parseIpv4(const std::string& text) noexcept {
  in_addr address{};
  if (::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
  return ntohl(address.s_addr);
}

std::string ipv4Text(std::uint32_t address) {
  in_addr value{};
  value.s_addr = htonl(address);
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &value, text, sizeof text);
  return text;
}

std::optional<std::uint32_t> resolveIpv4(const std::string& host, std::string& reason) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found); rc != 0) {
    reason = ::gai_strerror(rc);
    return std::nullopt;
  }
  const std::unique_ptr<addrinfo, AddrInfoDeleter> addresses(found);
  return ntohl(reinterpret_cast<const sockaddr_in*>(addresses->ai_addr)->sin_addr.s_addr);
}

int connectTo(NativeSocket socket, std::uint32_t address, int port) noexcept {
  const sockaddr_in to = addressOf(address, port);
  for (;;) {
    if (::connect(fdOf(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

int bindTo(NativeSocket socket, std::uint32_t address, int port) noexcept {
  const sockaddr_in local = addressOf(address, port);
  return ::bind(fdOf(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ? 0 : errno;
}

int listenOn(NativeSocket socket, int backlog) noexcept {
  return ::listen(fdOf(socket), backlog) == 0 ? 0 : errno;
}

int localAddress(NativeSocket socket, std::uint32_t& address, int& port) noexcept {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(fdOf(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return errno;
  address = ntohl(bound.sin_addr.s_addr);
  port = ntohs(bound.sin_port);
  return 0;
}

NativeSocket acceptFrom(NativeSocket socket, std::uint32_t& address, int& port) noexcept {
  sockaddr_in remote{};
  socklen_t length = sizeof remote;
  const int fd = ::accept4(fdOf(socket), reinterpret_cast<sockaddr*>(&remote), &length, SOCK_CLOEXEC);
  if (fd < 0) return kNoSocket;
  address = ntohl(remote.sin_addr.s_addr);
  port = ntohs(remote.sin_port);
  return fd;
}

int enableNoDelay(NativeSocket socket) noexcept { return option(socket, IPPROTO_TCP, TCP_NODELAY, 1); }

int enableReuseAddress(NativeSocket socket) noexcept { return option(socket, SOL_SOCKET, SO_REUSEADDR, 1); }

int enableResetOnClose(NativeSocket socket) noexcept {
  const linger abort{1, 0};
  return ::setsockopt(fdOf(socket), SOL_SOCKET, SO_LINGER, &abort, sizeof abort) == 0 ? 0 : errno;
}

int enableKeepAlive(NativeSocket socket, std::chrono::seconds idle, std::chrono::seconds interval, int probes,
                    bool boundUnacknowledged) noexcept {
  // Keepalive probes only run while nothing is in flight; the user timeout bounds the other case,
  // data that the dead peer never acknowledges.
  const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(idle + interval * probes);
  for (const int error : {option(socket, SOL_SOCKET, SO_KEEPALIVE, 1),
                          option(socket, IPPROTO_TCP, TCP_KEEPIDLE, static_cast<int>(idle.count())),
                          option(socket, IPPROTO_TCP, TCP_KEEPINTVL, static_cast<int>(interval.count())),
                          option(socket, IPPROTO_TCP, TCP_KEEPCNT, probes)}) {
    if (error != 0) return error;
  }
  return boundUnacknowledged ? option(socket, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(span.count()))
                             : 0;
}

int sendAll(NativeSocket socket, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fdOf(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return 0;
}

std::int64_t receiveSome(NativeSocket socket, std::span<char> into) noexcept {
  for (;;) {
    const ssize_t got = ::recv(fdOf(socket), into.data(), into.size(), 0);
    if (got >= 0 || errno != EINTR) return got;
  }
}

int waitReadable(std::span<const NativeSocket> sockets,
                 std::optional<std::chrono::milliseconds> limit) noexcept {
  std::vector<pollfd> fds;
  for (const NativeSocket socket : sockets) fds.push_back({fdOf(socket), POLLIN, 0});
  const int timeout = limit ? static_cast<int>(limit->count()) : -1;
  for (;;) {
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return -2;
    if (ready == 0) return -1;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents != 0) return static_cast<int>(i);
    }
  }
}

bool peerGone(NativeSocket socket) noexcept {
  pollfd fd{fdOf(socket), POLLRDHUP, 0};
  if (::poll(&fd, 1, 0) <= 0) return false;
  return (fd.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

void shutdownBoth(NativeSocket socket) noexcept { ::shutdown(fdOf(socket), SHUT_RDWR); }

void shutdownSend(NativeSocket socket) noexcept { ::shutdown(fdOf(socket), SHUT_WR); }

SocketPair connectedPair() {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    throw std::runtime_error(std::string("socketpair: ") + std::strerror(errno));
  }
  return {UniqueSocket(fds[0]), UniqueSocket(fds[1])};
}

}  // namespace mirrox::platform

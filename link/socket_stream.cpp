#include "link/socket_stream.h"

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

#include "link/file_io.h"
#include "link/link_fault.h"

namespace mirrox {
namespace {

struct AddrInfoDeleter {
  void operator()(addrinfo* info) const noexcept { ::freeaddrinfo(info); }
};

void setIntOption(int fd, int level, int name, int value) {
  if (::setsockopt(fd, level, name, &value, sizeof value) != 0) throw LinkFault(socketErrorMessage(errno));
}

void applyKeepAlive(int fd, const KeepAlive& keepAlive) {
  if (!keepAlive.enabled) return;
  setIntOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  setIntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, static_cast<int>(keepAlive.idle.count()));
  setIntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, static_cast<int>(keepAlive.interval.count()));
  setIntOption(fd, IPPROTO_TCP, TCP_KEEPCNT, keepAlive.probes);
  // Keepalive probes only run while nothing is in flight; this bounds the other case, a command
  // line that the dead peer never acknowledges.
  const auto span = keepAlive.idle + keepAlive.interval * keepAlive.probes;
  setIntOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT,
               static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(span).count()));
}

}  // namespace

std::string socketErrorMessage(int error) {
  return "Socket Error # " + std::to_string(error) + "\r\n" + std::strerror(error);
}

SocketStream::SocketStream(KeepAlive keepAlive) : keepAlive_(keepAlive) {}

void SocketStream::open(const std::string& host, int port) {
  close();
  if (port <= 0 || port > 65535) throw LinkFault(kInvalidPortMessage + std::to_string(port));
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (rc != 0) {
    throw LinkFault(kHostNotFoundMessage + ("\"" + host + "\" (") + ::gai_strerror(rc) + ")");
  }
  std::unique_ptr<addrinfo, AddrInfoDeleter> addresses(found);
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) throw LinkFault(socketErrorMessage(errno));
  applyKeepAlive(fd.get(), keepAlive_);
  setIntOption(fd.get(), IPPROTO_TCP, TCP_NODELAY, 1);
  int rcConnect;
  do {
    rcConnect = ::connect(fd.get(), addresses->ai_addr, addresses->ai_addrlen);
  } while (rcConnect != 0 && errno == EINTR);
  if (rcConnect != 0) throw LinkFault(socketErrorMessage(errno));
  fd_ = std::move(fd);
}

void SocketStream::close() noexcept { fd_.reset(); }

void SocketStream::write(std::string_view bytes) {
  if (!fd_.valid()) throw LinkFault("Not Connected");
  if (const int error = sendAll(fd_.get(), bytes); error != 0) throw LinkFault(socketErrorMessage(error));
}

std::size_t SocketStream::read(std::span<char> into, std::optional<std::chrono::milliseconds> limit) {
  if (!fd_.valid()) throw LinkFault("Not Connected");
  if (into.empty()) return 0;
  for (;;) {
    pollfd waitFor{fd_.get(), POLLIN, 0};
    const int timeout = limit ? static_cast<int>(limit->count()) : -1;
    const int ready = ::poll(&waitFor, 1, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      throw LinkFault(socketErrorMessage(errno));
    }
    if (ready == 0) return 0;
    const ssize_t got = ::recv(fd_.get(), into.data(), into.size(), 0);
    if (got > 0) return static_cast<std::size_t>(got);
    if (got == 0) throw LinkFault(kClosedGracefullyMessage);
    if (errno == EINTR || errno == EAGAIN) continue;
    throw LinkFault(socketErrorMessage(errno));
  }
}

}  // namespace mirrox

#include "agent/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "link/file_io.h"

namespace mirrox::agent {

namespace {

SocketError systemError(const std::string& what, int error) {
  return SocketError(what + ": " + std::strerror(error));
}

void setOption(int fd, int level, int name, int value) {
  // Best effort: a socket without keepalive still works, it only notices a dead peer later.
  ::setsockopt(fd, level, name, &value, sizeof value);
}

}  // namespace

void Socket::shutdownBoth() const noexcept {
  if (fd_.valid()) ::shutdown(fd_.get(), SHUT_RDWR);
}

bool Socket::peerGone() const noexcept {
  pollfd fd{fd_.get(), POLLRDHUP, 0};
  if (::poll(&fd, 1, 0) <= 0) return false;
  return (fd.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

void Socket::writeAll(std::string_view bytes) const {
  if (const int error = sendAll(fd_.get(), bytes); error != 0) throw systemError("send", error);
}

void Socket::writeFile(int fileFd) const {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = readFull(fileFd, buffer);
    if (got < 0) throw std::runtime_error("cannot read a result file");
    if (got > 0) writeAll(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    if (static_cast<std::size_t>(got) < buffer.size()) return;
  }
}

Listener::Listener(const std::string& address, std::uint16_t port) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    throw SocketError("not an IPv4 address: " + address);
  }
  socket_ = Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket_.valid()) throw systemError("socket", errno);
  setOption(socket_.fd(), SOL_SOCKET, SO_REUSEADDR, 1);
  if (::bind(socket_.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    throw systemError("bind " + address + ":" + std::to_string(port), errno);
  }
  if (::listen(socket_.fd(), 16) != 0) throw systemError("listen", errno);
}

std::uint16_t Listener::port() const {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(socket_.fd(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    throw systemError("getsockname", errno);
  }
  return ntohs(bound.sin_port);
}

std::optional<Socket> Listener::accept(std::string* peer) const {
  sockaddr_in remote{};
  socklen_t length = sizeof remote;
  const int fd = ::accept4(socket_.fd(), reinterpret_cast<sockaddr*>(&remote), &length, SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) return std::nullopt;
    throw systemError("accept", errno);
  }
  Socket socket(fd);
  // A dropped link or a server machine that lost power leaves a half-open connection whose
  // session would wait for ever; the probes end it about 90 s after the peer went silent. A live
  // peer answers them, however long it stays idle between commands.
  setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, 60);
  setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, 10);
  setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, 3);
  if (peer != nullptr) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &remote.sin_addr, text, sizeof text);
    *peer = std::string(text) + ":" + std::to_string(ntohs(remote.sin_port));
  }
  return socket;
}

LineReader::LineReader(const Socket& socket, std::size_t maxLineLength)
    : socket_(socket), maxLineLength_(maxLineLength) {}

LineReader::Status LineReader::readLine(std::string& line) {
  std::size_t searched = 0;
  for (;;) {
    const auto end = buffer_.find('\n', searched);
    if (end != std::string::npos) {
      std::size_t length = end;
      if (length > 0 && buffer_[length - 1] == '\r') --length;
      if (length > maxLineLength_) return Status::TooLong;
      line.assign(buffer_, 0, length);
      buffer_.erase(0, end + 1);
      return Status::Line;
    }
    // +1 leaves room for the CR that may precede the LF of a line of exactly the limit.
    if (buffer_.size() > maxLineLength_ + 1) return Status::TooLong;
    searched = buffer_.size();
    char chunk[8192];
    const ssize_t got = ::recv(socket_.fd(), chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return Status::Closed;
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

}  // namespace mirrox::agent

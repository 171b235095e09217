#include "agent/socket.h"

#include <cerrno>
#include <vector>

#include "link/file_io.h"

namespace mirrox::agent {

namespace {

SocketError systemError(const std::string& what, int error) {
  return SocketError(what + ": " + platform::socketErrorText(error));
}

}  // namespace

void Socket::shutdownBoth() const noexcept {
  if (fd_.valid()) platform::shutdownBoth(fd_.get());
}

bool Socket::peerGone() const noexcept { return platform::peerGone(fd_.get()); }

void Socket::writeAll(std::string_view bytes) const {
  if (const int error = platform::sendAll(fd_.get(), bytes); error != 0) throw systemError("send", error);
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
  const std::optional<std::uint32_t> local = platform::parseIpv4(address);
  if (!local) throw SocketError("not an IPv4 address: " + address);
  socket_ = Socket(platform::openTcpSocket());
  if (!socket_.valid()) throw systemError("socket", platform::lastSocketError());
  platform::enableReuseAddress(socket_.fd());
  if (const int error = platform::bindTo(socket_.fd(), *local, port); error != 0) {
    throw systemError("bind " + address + ":" + std::to_string(port), error);
  }
  if (const int error = platform::listenOn(socket_.fd(), 16); error != 0) throw systemError("listen", error);
}

std::uint16_t Listener::port() const {
  std::uint32_t address = 0;
  int port = 0;
  if (const int error = platform::localAddress(socket_.fd(), address, port); error != 0) {
    throw systemError("getsockname", error);
  }
  return static_cast<std::uint16_t>(port);
}

std::optional<Socket> Listener::accept(std::string* peer) const {
  std::uint32_t address = 0;
  int port = 0;
  Socket socket(platform::acceptFrom(socket_.fd(), address, port));
  if (!socket.valid()) {
    const int error = platform::lastSocketError();
    if (error == EINTR || error == ECONNABORTED || error == EPROTO || platform::isConnectionLost(error)) {
      return std::nullopt;
    }
    throw systemError("accept", error);
  }
  // A dropped link or a server machine that lost power leaves a half-open connection whose
  // session would wait for ever; the probes end it about 90 s after the peer went silent. A live
  // peer answers them, however long it stays idle between commands. Best effort: a socket without
  // keepalive still works, it only notices a dead peer later.
  platform::enableKeepAlive(socket.fd(), std::chrono::seconds(60), std::chrono::seconds(10), 3, false);
  if (peer != nullptr) *peer = platform::ipv4Text(address) + ":" + std::to_string(port);
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
    const std::int64_t got = platform::receiveSome(socket_.fd(), chunk);
    if (got <= 0) return Status::Closed;
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

}  // namespace mirrox::agent

#include "tests/agent/raw_agent_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <span>
#include <stdexcept>

#include "link/protocol.h"

namespace mirrox::testing_support {

RawAgentClient::RawAgentClient(std::uint16_t port)
    : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket_.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw agent::SocketError(std::string("connect: ") + std::strerror(errno));
  }
}

void RawAgentClient::sendLine(const std::string& line) { socket_.writeAll(line + "\r\n"); }

void RawAgentClient::awaitReadable() {
  pollfd fd{socket_.fd(), POLLIN, 0};
  if (::poll(&fd, 1, 60000) <= 0) throw std::runtime_error("agent sent nothing for a minute");
}

std::optional<std::string> RawAgentClient::readLine() {
  for (;;) {
    const auto end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    awaitReadable();
    char chunk[65536];
    const ssize_t got = ::recv(socket_.fd(), chunk, sizeof chunk, 0);
    if (got <= 0) return std::nullopt;
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

std::string RawAgentClient::readExactly(std::size_t count) {
  while (buffer_.size() < count) {
    awaitReadable();
    char chunk[65536];
    const ssize_t got = ::recv(socket_.fd(), chunk, sizeof chunk, 0);
    if (got <= 0) throw std::runtime_error("connection ended inside a file block");
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
  std::string bytes = buffer_.substr(0, count);
  buffer_.erase(0, count);
  return bytes;
}

std::string RawAgentClient::readBlock() {
  const std::string prefix = readExactly(kBlockLengthSize);
  const std::int32_t length =
      decodeBlockLength(std::span<const char, kBlockLengthSize>(prefix.data(), kBlockLengthSize));
  return readExactly(length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool RawAgentClient::closedByPeer() {
  if (!buffer_.empty()) return false;
  awaitReadable();
  char byte = 0;
  return ::recv(socket_.fd(), &byte, 1, MSG_PEEK) == 0;
}

}  // namespace mirrox::testing_support

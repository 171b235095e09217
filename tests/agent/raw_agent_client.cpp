#include "tests/agent/raw_agent_client.h"

#include <chrono>
#include <span>
#include <stdexcept>

#include "link/platform/sockets.h"
#include "link/protocol.h"

namespace mirrox::testing_support {

RawAgentClient::RawAgentClient(std::uint16_t port) : socket_(platform::openTcpSocket()) {
  constexpr std::uint32_t kLoopback = 0x7F000001;
  if (const int error = platform::connectTo(socket_.fd(), kLoopback, port); error != 0) {
    throw agent::SocketError("connect: " + platform::socketErrorText(error));
  }
}

void RawAgentClient::sendLine(const std::string& line) { socket_.writeAll(line + "\r\n"); }

void RawAgentClient::awaitReadable() {
  const platform::NativeSocket sockets[] = {socket_.fd()};
  if (platform::waitReadable(sockets, std::chrono::minutes(1)) != 0) {
    throw std::runtime_error("agent sent nothing for a minute");
  }
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
    const std::int64_t got = platform::receiveSome(socket_.fd(), chunk);
    if (got <= 0) return std::nullopt;
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

std::string RawAgentClient::readExactly(std::size_t count) {
  while (buffer_.size() < count) {
    awaitReadable();
    char chunk[65536];
    const std::int64_t got = platform::receiveSome(socket_.fd(), chunk);
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
  return platform::receiveSome(socket_.fd(), std::span<char>(&byte, 1)) == 0;
}

}  // namespace mirrox::testing_support

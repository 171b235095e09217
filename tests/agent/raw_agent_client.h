#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "agent/socket.h"

namespace mirrox::testing_support {

// A bare protocol client for driving the agent byte by byte. Reads give up after a generous limit
// so that a broken agent fails the test instead of hanging it; no test relies on that limit.
class RawAgentClient {
 public:
  explicit RawAgentClient(std::uint16_t port);

  // Sends the bytes and CR LF.
  void sendLine(const std::string& line);
  // One reply line without its LF; nullopt when the agent closed the connection.
  std::optional<std::string> readLine();
  // The file block after a fetch's success line: reads the 4-byte big-endian length and that many
  // bytes.
  std::string readBlock();
  // Exactly `count` bytes.
  std::string readExactly(std::size_t count);
  // True when the agent closed its side (the next read returns end of stream).
  bool closedByPeer();
  void close() { socket_ = agent::Socket(); }

 private:
  void awaitReadable();
  agent::Socket socket_;
  std::string buffer_;
};

}  // namespace mirrox::testing_support

#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mirrox {

// The byte stream under the agent protocol client: a connection to one host and port. The real one
// is SocketStream; tests may put a stream that fails on purpose in its place.
// Every operation that fails throws LinkFault with the transport's message.
class ByteStream {
 public:
  virtual ~ByteStream() = default;

  virtual void open(const std::string& host, int port) = 0;
  // Idempotent; after it isOpen() is false.
  virtual void close() noexcept = 0;
  virtual bool isOpen() const = 0;
  // Writes every byte or throws.
  virtual void write(std::string_view bytes) = 0;
  // Waits for at least one byte, at most `limit` (no limit when empty), and returns how many bytes
  // it stored; 0 only when the limit passed without data. Throws "Connection Closed Gracefully."
  // when the peer closed the connection.
  virtual std::size_t read(std::span<char> into, std::optional<std::chrono::milliseconds> limit) = 0;
};

}  // namespace mirrox

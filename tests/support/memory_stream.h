#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/byte_stream.h"

namespace mirrox::testing_support {

// A byte stream in memory under the protocol client: each read hands out at most one of the queued
// pieces (as a socket hands out what has arrived), an empty queue is a read that runs into its
// limit, and writes can be made to fail after a number of bytes.
class MemoryStream final : public ByteStream {
 public:
  void open(const std::string& host, int port) override;
  void close() noexcept override { isOpen_ = false; }
  bool isOpen() const override { return isOpen_; }
  // Throws the socket error of a broken pipe once `writeLimit` bytes would be passed.
  void write(std::string_view bytes) override;
  std::size_t read(std::span<char> into, std::optional<std::chrono::milliseconds> limit) override;

  std::deque<std::string> pieces;
  std::string written;
  std::string opened;  // "host:port" of the last open
  std::size_t writeLimit = std::string::npos;
  std::optional<std::chrono::milliseconds> lastLimit;
  int reads = 0;

 private:
  bool isOpen_ = false;
};

// Cuts `bytes` into pieces whose lengths come from `lengths` (each byte one length from 1 to 256,
// cycled; the whole as one piece when `lengths` is empty), so that every way a connection can split
// bytes is reachable.
std::deque<std::string> splitIntoPieces(std::string_view bytes, std::string_view lengths);

}  // namespace mirrox::testing_support

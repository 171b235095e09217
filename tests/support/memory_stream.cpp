#include "tests/support/memory_stream.h"

#include <algorithm>

#include "link/link_fault.h"

namespace mirrox::testing_support {

void MemoryStream::open(const std::string& host, int port) {
  opened = host + ":" + std::to_string(port);
  isOpen_ = true;
}

void MemoryStream::write(std::string_view bytes) {
  constexpr int kBrokenPipe = 32;
  if (writeLimit != std::string::npos && written.size() + bytes.size() > writeLimit) {
    throw LinkFault(socketErrorMessage(kBrokenPipe));
  }
  written.append(bytes);
}

std::size_t MemoryStream::read(std::span<char> into, std::optional<std::chrono::milliseconds> limit) {
  lastLimit = limit;
  ++reads;
  if (pieces.empty() || into.empty()) return 0;
  std::string& piece = pieces.front();
  const std::size_t n = std::min(into.size(), piece.size());
  piece.copy(into.data(), n);
  piece.erase(0, n);
  if (piece.empty()) pieces.pop_front();
  return n;
}

std::deque<std::string> splitIntoPieces(std::string_view bytes, std::string_view lengths) {
  std::deque<std::string> pieces;
  std::size_t next = 0;
  while (!bytes.empty()) {
    const std::size_t length =
        lengths.empty() ? bytes.size() : static_cast<unsigned char>(lengths[next++ % lengths.size()]) + 1u;
    const std::size_t n = std::min(length, bytes.size());
    pieces.emplace_back(bytes.substr(0, n));
    bytes.remove_prefix(n);
  }
  return pieces;
}

}  // namespace mirrox::testing_support

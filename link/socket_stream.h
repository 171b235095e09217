#pragma once

#include <chrono>

#include "link/byte_stream.h"
#include "link/unique_fd.h"

namespace mirrox {

// TCP keepalive on the agent connection. While a select's replies are awaited there is no read
// limit; without probes a site that lost power or a dropped link would hold the exchange forever.
// With probes the kernel declares the peer dead after about idle + interval * probes and the read
// fails, while a live agent's kernel answers the probes however long its select takes. The same
// span bounds how long sent data may stay unacknowledged.
struct KeepAlive {
  bool enabled = true;
  std::chrono::seconds idle{10};
  std::chrono::seconds interval{5};
  int probes = 3;
};

// A blocking IPv4 TCP client socket. Connect has no time limit of its own beyond the system's.
class SocketStream final : public ByteStream {
 public:
  explicit SocketStream(KeepAlive keepAlive = {});
  SocketStream(const SocketStream&) = delete;
  SocketStream& operator=(const SocketStream&) = delete;

  void open(const std::string& host, int port) override;
  void close() noexcept override;
  bool isOpen() const override { return fd_.valid(); }
  void write(std::string_view bytes) override;
  std::size_t read(std::span<char> into, std::optional<std::chrono::milliseconds> limit) override;

 private:
  KeepAlive keepAlive_;
  UniqueFd fd_;
};

}  // namespace mirrox

#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/byte_stream.h"
#include "link/socket_stream.h"

namespace mirrox {

// The limits of the agent connection. Production uses the defaults; tests shorten the read limit
// and the keepalive span instead of waiting for them.
struct LinkLimits {
  // The longest pause allowed in any reply other than a select's, and inside a file block.
  std::chrono::milliseconds readTimeout{30000};
  // The longest reply line accepted, counted in bytes before its LF.
  std::size_t maxLineLength = 16384;
  KeepAlive keepAlive{};
  // How often an unlimited wait looks at the stop request.
  std::chrono::milliseconds stopPollInterval{1000};
};

// The one agent connection of the process (`TCP`). It remembers the host and port it last pointed
// at, the current read limit and the bytes received but not yet consumed. Not thread-safe: one
// dialogue uses it at a time (the console's rule), so it takes no lock.
class TcpClient {
 public:
  // A null stream means a real SocketStream with the limits' keepalive settings.
  explicit TcpClient(LinkLimits limits = {}, std::unique_ptr<ByteStream> stream = nullptr);

  const std::string& host() const { return host_; }
  int port() const { return port_; }
  const LinkLimits& limits() const { return limits_; }

  // Takes effect at the next connect; callers disconnect first when the target changes.
  void setTarget(std::string host, int port);
  bool connected() const { return stream_->isOpen(); }
  void connect();
  // Drops the connection and any bytes received but not consumed. Never throws.
  void disconnect() noexcept;

  // No limit when empty.
  void setReadTimeout(std::optional<std::chrono::milliseconds> limit) { readTimeout_ = limit; }
  // Asked every stopPollInterval during an unlimited wait; when it answers true the wait ends with
  // a LinkFault. Without it an unlimited wait ends only with data, a close or a dead connection.
  void setStopCheck(std::function<bool()> stopRequested) { stopRequested_ = std::move(stopRequested); }
  std::optional<std::chrono::milliseconds> readTimeout() const { return readTimeout_; }

  // Sends the bytes followed by CR LF.
  void writeLine(std::string_view line);
  // The bytes up to the next LF, without the LF and without one CR right before it. A line longer
  // than maxLineLength fails with "Max line length exceeded." and consumes nothing.
  std::string readLine();
  // Fills `into` exactly. Takes no byte beyond it from the connection's point of view: what was
  // already received stays buffered for the next read.
  void readExact(std::span<char> into);

 private:
  void receiveMore();
  // One read under the current limit; throws "Read Timeout" when it passes.
  std::size_t readSome(std::span<char> into);

  LinkLimits limits_;
  std::unique_ptr<ByteStream> stream_;
  std::string host_;
  int port_ = 0;
  std::optional<std::chrono::milliseconds> readTimeout_;
  std::function<bool()> stopRequested_;
  std::string buffer_;  // received, not yet consumed: buffer_[consumed_..]
  std::size_t consumed_ = 0;
};

}  // namespace mirrox

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "link/unique_fd.h"

namespace mirrox::agent {

// A socket call failed; the text names the call and the system's reason.
class SocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One connected or listening socket.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}

  int fd() const { return fd_.get(); }
  bool valid() const { return fd_.valid(); }
  // Ends both directions without closing the descriptor, so a thread blocked in a read on it
  // returns; safe to call from another thread.
  void shutdownBoth() const noexcept;

  // True when the peer has closed its side or the connection failed; does not wait.
  bool peerGone() const noexcept;

  // Writes all bytes; throws SocketError when the peer is gone. Never raises SIGPIPE.
  void writeAll(std::string_view bytes) const;
  // Writes the rest of an open file in fixed pieces (constant memory); throws SocketError, or
  // std::runtime_error when the file cannot be read.
  void writeFile(int fileFd) const;

 private:
  UniqueFd fd_;
};

// A listening TCP socket on an IPv4 address.
class Listener {
 public:
  // `address` is dotted IPv4 text; "0.0.0.0" listens on every interface. Port 0 takes a free port.
  // Throws SocketError (address in use, bad address text, ...).
  Listener(const std::string& address, std::uint16_t port);

  // The port actually bound (the chosen one when 0 was asked for).
  std::uint16_t port() const;
  int fd() const { return socket_.fd(); }
  // Accepts one connection; nullopt when the accept failed for a reason that concerns only that
  // connection (the peer reset it before it was taken). Turns on TCP keepalive so that a client
  // that vanished without a word is noticed and its session ends.
  std::optional<Socket> accept(std::string* peer) const;

 private:
  Socket socket_;
};

// Reads LF-terminated lines from a socket through a buffer. The LF, and one CR right before it,
// are removed.
class LineReader {
 public:
  LineReader(const Socket& socket, std::size_t maxLineLength);

  enum class Status { Line, Closed, TooLong };
  // Blocks until a whole line arrived. Closed: the peer closed or reset the connection (a partial
  // last line without LF is dropped: the server always ends its lines). TooLong: more than
  // maxLineLength bytes came without LF; the connection is no longer in step and must be closed.
  Status readLine(std::string& line);

 private:
  const Socket& socket_;
  std::size_t maxLineLength_;
  std::string buffer_;
};

}  // namespace mirrox::agent

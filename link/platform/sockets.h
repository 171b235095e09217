#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The TCP calls that differ between systems (BSD sockets, Winsock). A socket is held as a number
// wide enough for both kinds of handle; failures are reported as the system's socket error code,
// worded by socketErrorText. One implementation per system is chosen by the build.
namespace mirrox::platform {

using NativeSocket = std::intptr_t;
inline constexpr NativeSocket kNoSocket = -1;

// Owns one socket and closes it when it goes. Every class that holds a socket holds it in one.
// Not a UniqueFd: a Winsock SOCKET is a handle closed by closesocket, not a C runtime descriptor.
class UniqueSocket {
 public:
  explicit UniqueSocket(NativeSocket socket = kNoSocket) noexcept : socket_(socket) {}
  ~UniqueSocket() { reset(); }
  UniqueSocket(UniqueSocket&& other) noexcept : socket_(other.release()) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;

  NativeSocket get() const noexcept { return socket_; }
  bool valid() const noexcept { return socket_ != kNoSocket; }
  NativeSocket release() noexcept {
    const NativeSocket socket = socket_;
    socket_ = kNoSocket;
    return socket;
  }
  void reset(NativeSocket socket = kNoSocket) noexcept;

 private:
  NativeSocket socket_;
};

// The error code of the last failed socket call on this thread.
int lastSocketError() noexcept;
// The system's words for a socket error code.
std::string socketErrorText(int error);
// The code of a connection attempt that nobody listens for (ECONNREFUSED, WSAECONNREFUSED).
int connectionRefusedError() noexcept;
// True for the codes of a connection that the peer reset or that broke.
bool isConnectionLost(int error) noexcept;

// A new IPv4 TCP socket, not inherited by child processes; kNoSocket on failure.
NativeSocket openTcpSocket() noexcept;
// Parses dotted decimal IPv4 text (no names, no shortened forms) into the address in host order.
std::optional<std::uint32_t> parseIpv4(const std::string& text) noexcept;
// The dotted decimal text of an address in host order.
std::string ipv4Text(std::uint32_t address);
// Resolves a host name or address text to an IPv4 address in host order; on failure the resolver's
// reason.
std::optional<std::uint32_t> resolveIpv4(const std::string& host, std::string& reason);

// 0, or the socket error code of the failure.
int connectTo(NativeSocket socket, std::uint32_t address, int port) noexcept;
int bindTo(NativeSocket socket, std::uint32_t address, int port) noexcept;
int listenOn(NativeSocket socket, int backlog) noexcept;
// The address and port a socket is bound to (local) or connected to (peer).
int localAddress(NativeSocket socket, std::uint32_t& address, int& port) noexcept;
// Accepts one connection: the new socket with the peer's address and port, or kNoSocket.
NativeSocket acceptFrom(NativeSocket socket, std::uint32_t& address, int& port) noexcept;

int enableNoDelay(NativeSocket socket) noexcept;
int enableReuseAddress(NativeSocket socket) noexcept;
// Closing the socket then resets the connection (RST) instead of ending it in order.
int enableResetOnClose(NativeSocket socket) noexcept;

// TCP keepalive with the given idle time, probe interval and probe count (where the system lets the
// count be set), and with `boundUnacknowledged` a limit of the same span on how long sent data may
// stay unacknowledged, where the system has one. 0, or the error code of the failure.
int enableKeepAlive(NativeSocket socket, std::chrono::seconds idle, std::chrono::seconds interval, int probes,
                    bool boundUnacknowledged) noexcept;

// Sends every byte; a peer that is gone gives an error code, never a signal. 0, or the error code.
int sendAll(NativeSocket socket, std::string_view bytes) noexcept;
// One receive: the count (0 when the peer closed in order), or -1 (lastSocketError() says why).
std::int64_t receiveSome(NativeSocket socket, std::span<char> into) noexcept;
// Waits until one of the sockets can be read (data, an orderly close or a failure): its index,
// -1 when the limit passed first, or -2 on a failure (lastSocketError() says why). No limit when
// empty. Interrupted waits are resumed.
int waitReadable(std::span<const NativeSocket> sockets,
                 std::optional<std::chrono::milliseconds> limit) noexcept;
// True when the peer has closed its side or the connection failed; does not wait. Where the system
// cannot tell a close behind unread data, that data makes it false.
bool peerGone(NativeSocket socket) noexcept;
// Ends both directions without closing, so a thread blocked on the socket returns.
void shutdownBoth(NativeSocket socket) noexcept;
// Ends the sending direction (FIN); the socket can still be read.
void shutdownSend(NativeSocket socket) noexcept;

// Two connected sockets on this machine: a way for one thread to wake another that waits in
// waitReadable. Throws std::runtime_error when they cannot be made.
struct SocketPair {
  UniqueSocket first;
  UniqueSocket second;
};
SocketPair connectedPair();

}  // namespace mirrox::platform

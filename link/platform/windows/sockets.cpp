#include "link/platform/sockets.h"

// winsock2.h comes first: mstcpip.h needs it, and windows.h would bring the old winsock.h.
// clang-format off
#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>
// clang-format on

#include <memory>
#include <stdexcept>
#include <vector>

#include "link/platform/windows/system_error.h"
#include "link/platform/windows/winsock.h"

namespace mirrox::platform {
namespace {

// The socket options of newer Windows versions, by their values in the system's ws2ipdef.h (the
// cross compiler's headers lack them).
constexpr int kTcpMaxRetransmitSeconds = 5;  // TCP_MAXRT, Vista and later
constexpr int kTcpKeepCount = 16;            // TCP_KEEPCNT, Windows 10 1703 and later

SOCKET handleOf(NativeSocket socket) { return static_cast<SOCKET>(socket); }

int option(NativeSocket socket, int level, int name, int value) noexcept {
  return ::setsockopt(handleOf(socket), level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0
             ? 0
             : ::WSAGetLastError();
}

// An option that older systems do not know: refused as unknown, it is left at the system's value.
int optionWhereKnown(NativeSocket socket, int level, int name, int value) noexcept {
  const int error = option(socket, level, name, value);
  return error == WSAENOPROTOOPT || error == WSAEINVAL ? 0 : error;
}

sockaddr_in addressOf(std::uint32_t address, int port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = htonl(address);
  result.sin_port = htons(static_cast<u_short>(port));
  return result;
}

struct AddrInfoDeleter {
  void operator()(addrinfo* info) const noexcept { ::freeaddrinfo(info); }
};

struct Winsock {
  Winsock() {
    WSADATA data{};
    error = ::WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~Winsock() {
    if (error == 0) ::WSACleanup();
  }
  int error;
};

}  // namespace

void startWinsock() {
  // Once for the process; the runtime makes the first call's construction thread-safe.
  static const Winsock winsock;
  if (winsock.error != 0) ::WSASetLastError(winsock.error);
}

void UniqueSocket::reset(NativeSocket socket) noexcept {
  if (socket_ != kNoSocket) ::closesocket(handleOf(socket_));
  socket_ = socket;
}

int lastSocketError() noexcept { return ::WSAGetLastError(); }

std::string socketErrorText(int error) { return systemMessage(static_cast<DWORD>(error)); }

int connectionRefusedError() noexcept { return WSAECONNREFUSED; }

bool isConnectionLost(int error) noexcept {
  return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN;
}

NativeSocket openTcpSocket() noexcept {
  startWinsock();
  const SOCKET socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  return socket == INVALID_SOCKET ? kNoSocket : static_cast<NativeSocket>(socket);
}

std::optional<std::uint32_t> parseIpv4(const std::string& text) noexcept {
  startWinsock();
  in_addr address{};
  if (::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
  return ntohl(address.s_addr);
}

std::string ipv4Text(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::optional<std::uint32_t> resolveIpv4(const std::string& host, std::string& reason) {
  startWinsock();
  // Windows resolves an empty name to this machine; a site without a host is not found anywhere.
  if (host.empty()) {
    reason = systemMessage(WSAHOST_NOT_FOUND);
    return std::nullopt;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found); rc != 0) {
    reason = systemMessage(static_cast<DWORD>(rc));
    return std::nullopt;
  }
  const std::unique_ptr<addrinfo, AddrInfoDeleter> addresses(found);
  return ntohl(reinterpret_cast<const sockaddr_in*>(addresses->ai_addr)->sin_addr.s_addr);
}

int connectTo(NativeSocket socket, std::uint32_t address, int port) noexcept {
  const sockaddr_in to = addressOf(address, port);
  return ::connect(handleOf(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0
             ? 0
             : ::WSAGetLastError();
}

int bindTo(NativeSocket socket, std::uint32_t address, int port) noexcept {
  const sockaddr_in local = addressOf(address, port);
  return ::bind(handleOf(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0
             ? 0
             : ::WSAGetLastError();
}

int listenOn(NativeSocket socket, int backlog) noexcept {
  return ::listen(handleOf(socket), backlog) == 0 ? 0 : ::WSAGetLastError();
}

int localAddress(NativeSocket socket, std::uint32_t& address, int& port) noexcept {
  sockaddr_in bound{};
  int length = sizeof bound;
  if (::getsockname(handleOf(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
    return ::WSAGetLastError();
  address = ntohl(bound.sin_addr.s_addr);
  port = ntohs(bound.sin_port);
  return 0;
}

NativeSocket acceptFrom(NativeSocket socket, std::uint32_t& address, int& port) noexcept {
  sockaddr_in remote{};
  int length = sizeof remote;
  const SOCKET accepted = ::accept(handleOf(socket), reinterpret_cast<sockaddr*>(&remote), &length);
  if (accepted == INVALID_SOCKET) return kNoSocket;
  // Accepted sockets inherit the listener's attributes, but not its refusal to be inherited.
  ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
  address = ntohl(remote.sin_addr.s_addr);
  port = ntohs(remote.sin_port);
  return static_cast<NativeSocket>(accepted);
}

int enableNoDelay(NativeSocket socket) noexcept { return option(socket, IPPROTO_TCP, TCP_NODELAY, 1); }

// Windows' SO_REUSEADDR would let a second listener take a port in use; exclusive use is the
// behaviour the POSIX option gives a listener, and a restarted listener still binds at once.
int enableReuseAddress(NativeSocket socket) noexcept {
  return option(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1);
}

int enableResetOnClose(NativeSocket socket) noexcept {
  const linger abort{1, 0};
  return ::setsockopt(handleOf(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                      sizeof abort) == 0
             ? 0
             : ::WSAGetLastError();
}

int enableKeepAlive(NativeSocket socket, std::chrono::seconds idle, std::chrono::seconds interval, int probes,
                    bool boundUnacknowledged) noexcept {
  // Idle time and interval through SIO_KEEPALIVE_VALS, which every Windows version takes; the
  // probe count where the system lets it be set (older versions send ten). TCP_MAXRT bounds how
  // long sent data may stay unacknowledged, as TCP_USER_TIMEOUT does on Linux.
  tcp_keepalive values{};
  values.onoff = 1;
  values.keepalivetime = static_cast<ULONG>(std::chrono::milliseconds(idle).count());
  values.keepaliveinterval = static_cast<ULONG>(std::chrono::milliseconds(interval).count());
  DWORD returned = 0;
  if (::WSAIoctl(handleOf(socket), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
                 nullptr) != 0) {
    return ::WSAGetLastError();
  }
  if (const int error = optionWhereKnown(socket, IPPROTO_TCP, kTcpKeepCount, probes); error != 0)
    return error;
  if (!boundUnacknowledged) return 0;
  const auto span = idle + interval * probes;
  return optionWhereKnown(socket, IPPROTO_TCP, kTcpMaxRetransmitSeconds, static_cast<int>(span.count()));
}

int sendAll(NativeSocket socket, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const int piece = static_cast<int>(bytes.size() < 1u << 30 ? bytes.size() : 1u << 30);
    const int sent = ::send(handleOf(socket), bytes.data(), piece, 0);
    if (sent == SOCKET_ERROR) return ::WSAGetLastError();
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return 0;
}

std::int64_t receiveSome(NativeSocket socket, std::span<char> into) noexcept {
  const int size = static_cast<int>(into.size() < 1u << 30 ? into.size() : 1u << 30);
  const int got = ::recv(handleOf(socket), into.data(), size, 0);
  return got == SOCKET_ERROR ? -1 : got;
}

int waitReadable(std::span<const NativeSocket> sockets,
                 std::optional<std::chrono::milliseconds> limit) noexcept {
  std::vector<WSAPOLLFD> fds;
  for (const NativeSocket socket : sockets) fds.push_back({handleOf(socket), POLLRDNORM, 0});
  const int timeout = limit ? static_cast<int>(limit->count()) : -1;
  const int ready = ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeout);
  if (ready == SOCKET_ERROR) return -2;
  if (ready == 0) return -1;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    if (fds[i].revents != 0) return static_cast<int>(i);
  }
  return -1;
}

bool peerGone(NativeSocket socket) noexcept {
  WSAPOLLFD fd{handleOf(socket), POLLRDNORM, 0};
  if (::WSAPoll(&fd, 1, 0) <= 0) return false;
  if ((fd.revents & (POLLHUP | POLLERR)) != 0) return true;
  // Readable: an orderly close reads as zero bytes; data in front of it hides it.
  char byte = 0;
  const int got = ::recv(handleOf(socket), &byte, 1, MSG_PEEK);
  return got == 0 || (got == SOCKET_ERROR && isConnectionLost(::WSAGetLastError()));
}

void shutdownBoth(NativeSocket socket) noexcept { ::shutdown(handleOf(socket), SD_BOTH); }

void shutdownSend(NativeSocket socket) noexcept { ::shutdown(handleOf(socket), SD_SEND); }

SocketPair connectedPair() {
  // No socketpair on Windows: a listener on loopback, one connection to it, and the listener goes.
  const auto fail = [](const char* what) {
    throw std::runtime_error(std::string(what) + ": " + socketErrorText(::WSAGetLastError()));
  };
  UniqueSocket listener(openTcpSocket());
  if (!listener.valid()) fail("socket");
  constexpr std::uint32_t kLoopback = 0x7F000001;
  if (bindTo(listener.get(), kLoopback, 0) != 0 || listenOn(listener.get(), 1) != 0) fail("listen");
  std::uint32_t address = 0;
  int port = 0;
  if (localAddress(listener.get(), address, port) != 0) fail("getsockname");
  SocketPair pair{UniqueSocket(openTcpSocket()), UniqueSocket()};
  if (!pair.first.valid() || connectTo(pair.first.get(), kLoopback, port) != 0) fail("connect");
  pair.second.reset(acceptFrom(listener.get(), address, port));
  if (!pair.second.valid()) fail("accept");
  return pair;
}

}  // namespace mirrox::platform

#include "link/socket_stream.h"

#include <string>

#include "link/link_fault.h"

namespace mirrox {

std::string socketErrorMessage(int error) {
  return "Socket Error # " + std::to_string(error) + "\r\n" + platform::socketErrorText(error);
}

SocketStream::SocketStream(KeepAlive keepAlive) : keepAlive_(keepAlive) {}

void SocketStream::open(const std::string& host, int port) {
  close();
  if (port <= 0 || port > 65535) throw LinkFault(kInvalidPortMessage + std::to_string(port));
  std::string reason;
  const std::optional<std::uint32_t> address = platform::resolveIpv4(host, reason);
  if (!address) throw LinkFault(kHostNotFoundMessage + ("\"" + host + "\" (") + reason + ")");
  platform::UniqueSocket socket(platform::openTcpSocket());
  if (!socket.valid()) throw LinkFault(socketErrorMessage(platform::lastSocketError()));
  if (keepAlive_.enabled) {
    if (const int error = platform::enableKeepAlive(socket.get(), keepAlive_.idle, keepAlive_.interval,
                                                    keepAlive_.probes, true);
        error != 0) {
      throw LinkFault(socketErrorMessage(error));
    }
  }
  if (const int error = platform::enableNoDelay(socket.get()); error != 0)
    throw LinkFault(socketErrorMessage(error));
  if (const int error = platform::connectTo(socket.get(), *address, port); error != 0) {
    throw LinkFault(socketErrorMessage(error));
  }
  socket_ = std::move(socket);
}

void SocketStream::close() noexcept { socket_.reset(); }

void SocketStream::write(std::string_view bytes) {
  if (!socket_.valid()) throw LinkFault("Not Connected");
  if (const int error = platform::sendAll(socket_.get(), bytes); error != 0) {
    throw LinkFault(socketErrorMessage(error));
  }
}

std::size_t SocketStream::read(std::span<char> into, std::optional<std::chrono::milliseconds> limit) {
  if (!socket_.valid()) throw LinkFault("Not Connected");
  if (into.empty()) return 0;
  const platform::NativeSocket sockets[] = {socket_.get()};
  const int ready = platform::waitReadable(sockets, limit);
  if (ready == -2) throw LinkFault(socketErrorMessage(platform::lastSocketError()));
  if (ready == -1) return 0;
  const std::int64_t got = platform::receiveSome(socket_.get(), into);
  if (got > 0) return static_cast<std::size_t>(got);
  if (got == 0) throw LinkFault(kClosedGracefullyMessage);
  throw LinkFault(socketErrorMessage(platform::lastSocketError()));
}

}  // namespace mirrox

#include "link/pinger2.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/unique_fd.h"

namespace mirrox {
namespace {

constexpr std::size_t kDataBytes = 32;
constexpr std::size_t kHeaderBytes = 8;
constexpr const char* kNoReply = "нет ответа за отведенное время";

// The ICMP socket of one probe.
class IcmpSocket {
 public:
  IcmpSocket() {
    // An unprivileged ping socket where the system allows it; a raw socket otherwise.
    fd_.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (!fd_.valid()) {
      datagramErrno_ = errno;
      fd_.reset(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
      raw_ = fd_.valid();
      if (!raw_) rawErrno_ = errno;
    }
  }

  int fd() const { return fd_.get(); }
  bool raw() const { return raw_; }
  std::string openFailure() const {
    return std::string("ICMP не разрешен этому процессу (") + std::strerror(datagramErrno_) + " / " +
           std::strerror(rawErrno_) + "); см. net.ipv4.ping_group_range";
  }

 private:
  UniqueFd fd_;
  bool raw_ = false;
  int datagramErrno_ = 0;
  int rawErrno_ = 0;
};

std::uint16_t internetChecksum(const unsigned char* data, std::size_t size) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
  if (size % 2 != 0) sum += static_cast<std::uint32_t>(data[size - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

enum class Cause { Local, Remote };

std::int32_t fail(PingFailure* failure, Cause cause, std::string reason) {
  if (failure != nullptr) *failure = PingFailure{cause == Cause::Local, std::move(reason)};
  return -1;
}

std::string sendFailure(int error) {
  if (error == ENETUNREACH || error == EHOSTUNREACH) {
    return std::string("нет маршрута к адресу (") + std::strerror(error) + ")";
  }
  return std::string("эхо-запрос не отправлен: ") + std::strerror(error);
}

}  // namespace

std::int32_t PingHost(std::string_view host, int timeoutMs, PingFailure* failure) {
  in_addr target{};
  const std::string text(host);
  // inet_pton takes the dotted decimal form only: no names, no shortened forms.
  if (::inet_pton(AF_INET, text.c_str(), &target) != 1)
    return fail(failure, Cause::Local, "не адрес IPv4: \"" + text + "\"");

  IcmpSocket socket;
  if (socket.fd() < 0) return fail(failure, Cause::Local, socket.openFailure());

  const auto identifier = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
  const std::uint16_t sequence = 1;
  std::array<unsigned char, kHeaderBytes + kDataBytes> request{};
  request[0] = ICMP_ECHO;
  request[4] = static_cast<unsigned char>(identifier >> 8);
  request[5] = static_cast<unsigned char>(identifier & 0xFF);
  request[6] = static_cast<unsigned char>(sequence >> 8);
  request[7] = static_cast<unsigned char>(sequence & 0xFF);
  for (std::size_t i = 0; i < kDataBytes; ++i)
    request[kHeaderBytes + i] = static_cast<unsigned char>('a' + i % 23);
  const std::uint16_t sum = internetChecksum(request.data(), request.size());
  request[2] = static_cast<unsigned char>(sum >> 8);
  request[3] = static_cast<unsigned char>(sum & 0xFF);

  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr = target;
  if (::sendto(socket.fd(), request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) <
      0) {
    return fail(failure, Cause::Local, sendFailure(errno));
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::array<unsigned char, 1024> reply{};
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) return fail(failure, Cause::Remote, kNoReply);
    pollfd pfd{socket.fd(), POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return fail(failure, Cause::Remote, kNoReply);

    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(socket.fd(), reply.data(), reply.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) return fail(failure, Cause::Local, std::string("ответ не принят: ") + std::strerror(errno));

    std::size_t offset = 0;
    if (socket.raw()) {
      // A raw socket sees every ICMP message of the machine, with the IP header in front.
      if (static_cast<std::size_t>(n) < sizeof(iphdr)) continue;
      offset = static_cast<std::size_t>(reinterpret_cast<const iphdr*>(reply.data())->ihl) * 4;
    }
    if (static_cast<std::size_t>(n) < offset + kHeaderBytes) continue;
    const unsigned char* icmp = reply.data() + offset;
    const std::size_t dataBytes = static_cast<std::size_t>(n) - offset - kHeaderBytes;
    const auto replySequence = static_cast<std::uint16_t>(icmp[6] << 8 | icmp[7]);
    const auto replyIdentifier = static_cast<std::uint16_t>(icmp[4] << 8 | icmp[5]);
    if (icmp[0] == ICMP_ECHO) continue;  // our own request, seen on loopback by a raw socket
    if (icmp[0] != ICMP_ECHOREPLY) {
      if (socket.raw()) continue;  // someone else's traffic; an error report for us ends in a timeout
      return fail(failure, Cause::Remote, "вместо эхо-ответа пришло сообщение ICMP об ошибке");
    }
    // A datagram socket's identifier is chosen by the kernel; only a raw socket's is ours.
    if (replySequence != sequence || (socket.raw() && replyIdentifier != identifier)) continue;
    if (from.sin_addr.s_addr != target.s_addr)
      return fail(failure, Cause::Remote, "ответ пришел с другого адреса");
    if (dataBytes == 0) return fail(failure, Cause::Remote, "ответ без данных");
    return 0;
  }
}

}  // namespace mirrox

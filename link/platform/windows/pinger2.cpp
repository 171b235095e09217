#include "link/pinger2.h"

// winsock2.h comes before windows.h, which would bring the old winsock.h; icmpapi.h needs the
// types of iphlpapi.h.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <array>
#include <string>

#include "link/platform/sockets.h"
#include "link/platform/windows/system_error.h"

namespace mirrox {
namespace {

constexpr std::size_t kDataBytes = 32;
// Room for the reply structure, the echoed data and an ICMP error message.
constexpr std::size_t kReplyBytes = 284;
constexpr const char* kNoReply = "нет ответа за отведенное время";

enum class Cause { Local, Remote };

std::int32_t fail(PingFailure* failure, Cause cause, std::string reason) {
  if (failure != nullptr) *failure = PingFailure{cause == Cause::Local, std::move(reason)};
  return -1;
}

// The ICMP service handle of one probe.
class IcmpHandle {
 public:
  IcmpHandle() : handle_(::IcmpCreateFile()) {}
  ~IcmpHandle() {
    if (valid()) ::IcmpCloseHandle(handle_);
  }
  IcmpHandle(const IcmpHandle&) = delete;
  IcmpHandle& operator=(const IcmpHandle&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

std::int32_t PingHost(std::string_view host, int timeoutMs, PingFailure* failure) {
  const std::string text(host);
  const std::optional<std::uint32_t> target = platform::parseIpv4(text);
  if (!target) return fail(failure, Cause::Local, "не адрес IPv4: \"" + text + "\"");

  const IcmpHandle icmp;
  if (!icmp.valid()) {
    return fail(failure, Cause::Local,
                "служба ICMP недоступна: " + platform::systemMessage(::GetLastError()));
  }
  std::array<char, kDataBytes> request{};
  for (std::size_t i = 0; i < kDataBytes; ++i) request[i] = static_cast<char>('a' + i % 23);
  alignas(ICMP_ECHO_REPLY) std::array<unsigned char, kReplyBytes> reply{};
  const IPAddr destination = htonl(*target);
  const DWORD replies = ::IcmpSendEcho(
      icmp.get(), destination, request.data(), static_cast<WORD>(request.size()), nullptr, reply.data(),
      static_cast<DWORD>(reply.size()), static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs));
  if (replies == 0) {
    const DWORD error = ::GetLastError();
    if (error == IP_REQ_TIMED_OUT) return fail(failure, Cause::Remote, kNoReply);
    if (error == IP_DEST_NET_UNREACHABLE || error == IP_DEST_HOST_UNREACHABLE) {
      return fail(failure, Cause::Local, "нет маршрута к адресу (" + platform::systemMessage(error) + ")");
    }
    return fail(failure, Cause::Local, "эхо-запрос не отправлен: " + platform::systemMessage(error));
  }
  const auto* answer = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
  if (answer->Status == IP_REQ_TIMED_OUT) return fail(failure, Cause::Remote, kNoReply);
  if (answer->Status != IP_SUCCESS) {
    return fail(failure, Cause::Remote, "вместо эхо-ответа пришло сообщение ICMP об ошибке");
  }
  if (answer->Address != destination) return fail(failure, Cause::Remote, "ответ пришел с другого адреса");
  if (answer->DataSize == 0) return fail(failure, Cause::Remote, "ответ без данных");
  return 0;
}

}  // namespace mirrox

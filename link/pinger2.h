#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirrox {

// Why a probe gave -1.
struct PingFailure {
  // True when the cause lies on this machine and is known: the text is not an address, ICMP is
  // not permitted for this process, there is no route to the address, the request could not be
  // sent or the reply not received. False when the host simply did not answer as it should.
  bool local = false;
  std::string reason;  // for the operator's log
};

// `PingHost`: one ICMP echo request with 32 data bytes to a dotted IPv4 address, waiting up to
// `timeoutMs` for the reply. 0 exactly when an echo reply carrying data came back from the probed
// address; -1 otherwise, including for names and malformed texts, which are not sent anywhere.
// Never throws. When `failure` is given it receives why the result is -1.
std::int32_t PingHost(std::string_view host, int timeoutMs, PingFailure* failure = nullptr);

}  // namespace mirrox

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirrox {

// `PingHost`: one ICMP echo request with 32 data bytes to a dotted IPv4 address, waiting up to
// `timeoutMs` for the reply. 0 exactly when an echo reply carrying data came back from the probed
// address; -1 otherwise, including for names and malformed texts, which are not sent anywhere.
// Never throws. When `failure` is given it receives why the result is -1.
std::int32_t PingHost(std::string_view host, int timeoutMs, std::string* failure = nullptr);

}  // namespace mirrox

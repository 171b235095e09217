#include "agent/allowed_networks.h"

#include <charconv>

#include "link/platform/sockets.h"

namespace mirrox::agent {
namespace {

std::optional<std::uint32_t> parseAddress(const std::string& text) { return platform::parseIpv4(text); }

std::uint32_t maskOf(int prefix) { return prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix); }

}  // namespace

std::optional<Ipv4Network> Ipv4Network::parse(const std::string& text) {
  const std::size_t slash = text.find('/');
  const std::optional<std::uint32_t> address = parseAddress(text.substr(0, slash));
  if (!address) return std::nullopt;
  int prefix = 32;
  if (slash != std::string::npos) {
    const char* begin = text.data() + slash + 1;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(begin, end, prefix);
    if (begin == end || error != std::errc() || ptr != end || prefix < 0 || prefix > 32) return std::nullopt;
  }
  return Ipv4Network{*address & maskOf(prefix), prefix};
}

bool Ipv4Network::contains(std::uint32_t hostOrderAddress) const {
  return (hostOrderAddress & maskOf(prefix)) == address;
}

bool AllowedNetworks::allows(const std::string& peer) const {
  if (networks_.empty()) return true;
  const std::optional<std::uint32_t> address = parseAddress(peer);
  if (!address) return false;
  for (const Ipv4Network& network : networks_) {
    if (network.contains(*address)) return true;
  }
  return false;
}

}  // namespace mirrox::agent

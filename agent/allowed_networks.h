#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mirrox::agent {

// An IPv4 address with a prefix length: 192.0.2.10 (one address, /32) or 192.0.2.0/24.
struct Ipv4Network {
  std::uint32_t address = 0;  // host order, host bits cleared
  int prefix = 32;

  // "ADDRESS" or "ADDRESS/PREFIX" with a prefix of 0 to 32; nullopt for anything else.
  static std::optional<Ipv4Network> parse(const std::string& text);
  bool contains(std::uint32_t hostOrderAddress) const;
};

// Who may talk to the agent. Empty: everyone (the agent's behaviour without --allow).
class AllowedNetworks {
 public:
  AllowedNetworks() = default;
  explicit AllowedNetworks(std::vector<Ipv4Network> networks) : networks_(std::move(networks)) {}

  bool restricted() const { return !networks_.empty(); }
  // `peer` is the dotted IPv4 text of a client's address; a text that is none is never allowed
  // where the agent is restricted.
  bool allows(const std::string& peer) const;

 private:
  std::vector<Ipv4Network> networks_;
};

}  // namespace mirrox::agent

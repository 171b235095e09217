#include <array>

#include "fb/client_version.h"
#include "fb/status.h"

namespace mirrox::fb {

// Where the client library is linked in, its entry points are called directly.
Firebird::IMaster* master() { return Firebird::fb_get_master_interface(); }

std::string clientVersion() {
  // The library writes a NUL-terminated text of at most a few dozen bytes.
  std::array<char, 256> text{};
  isc_get_client_version(text.data());
  text.back() = '\0';
  return text.data();
}

}  // namespace mirrox::fb

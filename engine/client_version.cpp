#include "engine/client_version.h"

#include <firebird/Interface.h>

#include <array>

namespace mirrox {

std::string firebirdClientVersion() {
  // The library writes a NUL-terminated text of at most a few dozen bytes.
  std::array<char, 256> text{};
  isc_get_client_version(text.data());
  text.back() = '\0';
  return text.data();
}

}  // namespace mirrox

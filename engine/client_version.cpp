#include "engine/client_version.h"

#include "fb/client_version.h"

namespace mirrox {

std::string firebirdClientVersion() { return fb::clientVersion(); }

}  // namespace mirrox

#pragma once

#include <string>

namespace mirrox {

// The Firebird client library's own version text (fb::clientVersion(), the layer's one home for
// it), under the name the console and the command line know.
std::string firebirdClientVersion();

}  // namespace mirrox

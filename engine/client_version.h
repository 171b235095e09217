#pragma once

#include <string>

namespace mirrox {

// The Firebird client library's own version text, as it reports itself (for example
// "LI-V3.0.11.33703 Firebird 3.0"): what an administrator needs to know which client the program
// runs with.
std::string firebirdClientVersion();

}  // namespace mirrox

#pragma once

#include <string>

namespace mirrox::fb {

// The Firebird client library's own version text, as it reports itself (for example
// "LI-V3.0.11.33703 Firebird 3.0"): which client a program runs with, for the first line of its
// log and its --version. Never throws; where the library cannot be loaded the text says why.
// Defined beside master() (master_linked.cpp, master_loaded.cpp): both come from the one client
// library, linked or loaded.
std::string clientVersion();

}  // namespace mirrox::fb

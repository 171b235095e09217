#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirrox::agent::testing {

// Inflates one whole zlib stream; nullopt when it is not one (bad header, bad Adler-32, cut short).
std::optional<std::string> inflateZlib(std::string_view stream);

}  // namespace mirrox::agent::testing

#pragma once

#include <string>
#include <string_view>

namespace mirrox {

// The text with every bare LF preceded by CR, so that each line break is the CR LF of the files
// the operator reads (a Firebird server's messages break their lines with LF alone). A CR LF
// already there, and a lone CR, stay as they are.
std::string withCrLfLineEnds(std::string_view text);

}  // namespace mirrox

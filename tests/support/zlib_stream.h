#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

// zlib streams made and read by zlib itself, independently of the code under test: payloads for
// fake agents and the reference the readers' output is compared with.
namespace mirrox::testing_support {

// One zlib stream (RFC 1950) holding `content`.
std::string zlibCompress(std::string_view content, int level = 6);

// Whether bytes may follow the end of the stream.
enum class Trailing { Refused, Ignored };

// The content of one whole zlib stream; nothing when zlib does not accept it (bad header, corrupt
// data, wrong Adler-32, cut short), when bytes follow its end and they are refused, or when the
// content would pass `limit` bytes.
std::optional<std::string> inflateZlib(std::string_view stream, Trailing trailing = Trailing::Refused,
                                       std::size_t limit = std::numeric_limits<std::size_t>::max());

}  // namespace mirrox::testing_support

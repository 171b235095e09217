#pragma once

#include <string>
#include <string_view>

namespace mirrox {

// Code page 1251 exists only at the boundaries (wire, settings file, log, row error file);
// inside the program text is UTF-8. Every one of the 256 byte values round-trips: 0x98, which has
// no letter in 1251, maps to U+0098 and back.

// Decodes CP1251 bytes to UTF-8. Never fails.
std::string cp1251ToUtf8(std::string_view bytes);

// Encodes UTF-8 text to CP1251 bytes. A character without a 1251 byte, or a malformed UTF-8
// sequence, becomes '?'.
std::string utf8ToCp1251(std::string_view text);

}  // namespace mirrox

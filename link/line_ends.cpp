#include "link/line_ends.h"

namespace mirrox {

std::string withCrLfLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char previous = '\0';
  for (const char c : text) {
    if (c == '\n' && previous != '\r') out += '\r';
    out += c;
    previous = c;
  }
  return out;
}

}  // namespace mirrox

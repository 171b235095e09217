#include "tests/agent/inflate.h"

#include <zlib.h>

namespace mirrox::agent::testing {

std::optional<std::string> inflateZlib(std::string_view stream) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return std::nullopt;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  std::string out;
  char buffer[32768];
  int status = Z_OK;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    status = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  } while (status == Z_OK);
  const bool whole = status == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  if (!whole) return std::nullopt;
  return out;
}

}  // namespace mirrox::agent::testing

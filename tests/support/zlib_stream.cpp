#include "tests/support/zlib_stream.h"

#include <zlib.h>

#include <stdexcept>
#include <vector>

namespace mirrox::testing_support {

std::string zlibCompress(std::string_view content, int level) {
  uLongf size = ::compressBound(static_cast<uLong>(content.size()));
  std::string out(size, '\0');
  if (::compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(content.data()),
                  static_cast<uLong>(content.size()), level) != Z_OK) {
    throw std::runtime_error("compress2 failed");
  }
  out.resize(size);
  return out;
}

std::optional<std::string> inflateZlib(std::string_view stream, Trailing trailing, std::size_t limit) {
  z_stream z{};
  if (::inflateInit(&z) != Z_OK) return std::nullopt;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  std::string out;
  std::vector<char> buffer(32768);
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer.data());
    z.avail_out = static_cast<uInt>(buffer.size());
    status = ::inflate(&z, Z_NO_FLUSH);
    out.append(buffer.data(), buffer.size() - z.avail_out);
    if (out.size() > limit) status = Z_MEM_ERROR;
  }
  const bool whole = status == Z_STREAM_END && (trailing == Trailing::Ignored || z.avail_in == 0);
  ::inflateEnd(&z);
  if (!whole) return std::nullopt;
  return out;
}

}  // namespace mirrox::testing_support

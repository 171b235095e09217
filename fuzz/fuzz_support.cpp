#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace mirrox::fuzzing {
namespace {

std::string escaped(std::string_view bytes) {
  std::string out;
  for (const char c : bytes.substr(0, 512)) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  if (bytes.size() > 512) out += "...";
  return out;
}

}  // namespace

void fail(std::string_view what, std::string_view input) {
  std::fprintf(stderr, "\nBROKEN PROMISE: %.*s\ninput: \"%s\"\n", static_cast<int>(what.size()), what.data(),
               escaped(input).c_str());
  std::abort();
}

const std::filesystem::path& scratchDirectory() {
  // Removed with everything in it when the process ends normally.
  static const testing_support::TempDir directory;
  return directory.path();
}

}  // namespace mirrox::fuzzing

#include "fuzz/fuzz_support.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

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

// Owns the scratch directory; its destructor runs when the fuzzing process exits normally.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mirrox-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
    path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

void fail(std::string_view what, std::string_view input) {
  std::fprintf(stderr, "\nBROKEN PROMISE: %.*s\ninput: \"%s\"\n", static_cast<int>(what.size()), what.data(),
               escaped(input).c_str());
  std::abort();
}

const std::filesystem::path& scratchDirectory() {
  static const ScratchDirectory directory;
  return directory.path();
}

void writeWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MemoryStream::open(const std::string&, int) { open_ = true; }

std::size_t MemoryStream::read(std::span<char> into, std::optional<std::chrono::milliseconds>) {
  if (pieces.empty() || into.empty()) return 0;
  std::string& piece = pieces.front();
  const std::size_t n = std::min(into.size(), piece.size());
  piece.copy(into.data(), n);
  piece.erase(0, n);
  if (piece.empty()) pieces.pop_front();
  return n;
}

std::deque<std::string> splitIntoPieces(std::string_view bytes, std::string_view lengths) {
  std::deque<std::string> pieces;
  std::size_t next = 0;
  while (!bytes.empty()) {
    const std::size_t length =
        lengths.empty() ? bytes.size() : static_cast<unsigned char>(lengths[next++ % lengths.size()]) + 1u;
    const std::size_t n = std::min(length, bytes.size());
    pieces.emplace_back(bytes.substr(0, n));
    bytes.remove_prefix(n);
  }
  return pieces;
}

std::optional<std::string> referenceInflate(std::string_view compressed, std::size_t limit) {
  z_stream z{};
  if (::inflateInit(&z) != Z_OK) return std::nullopt;
  std::string out;
  std::vector<char> buffer(4096);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = static_cast<uInt>(compressed.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer.data());
    z.avail_out = static_cast<uInt>(buffer.size());
    rc = ::inflate(&z, Z_NO_FLUSH);
    out.append(buffer.data(), buffer.size() - z.avail_out);
    if (out.size() > limit) rc = Z_MEM_ERROR;
  }
  ::inflateEnd(&z);
  if (rc != Z_STREAM_END) return std::nullopt;
  return out;
}

}  // namespace mirrox::fuzzing

#include "agent/zlib_file.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mirrox::agent {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openFile(const std::filesystem::path& path, const char* mode) {
  FilePtr file(std::fopen(path.c_str(), mode));
  if (!file) {
    throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
  }
  return file;
}

// Owns a deflate state; deflateEnd runs in every case.
class Deflater {
 public:
  Deflater() {
    if (deflateInit(&stream_, Z_DEFAULT_COMPRESSION) != Z_OK) {
      throw std::runtime_error("zlib: cannot start compression");
    }
  }
  ~Deflater() { deflateEnd(&stream_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
};

}  // namespace

std::uint64_t deflateFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  FilePtr in = openFile(source, "rb");
  FilePtr out = openFile(target, "wb");
  Deflater deflater;
  z_stream& stream = deflater.stream();
  std::vector<unsigned char> input(kBufferSize);
  std::vector<unsigned char> output(kBufferSize);
  std::uint64_t written = 0;

  int flush = Z_NO_FLUSH;
  do {
    const std::size_t got = std::fread(input.data(), 1, input.size(), in.get());
    if (std::ferror(in.get())) throw std::runtime_error("cannot read " + source.string());
    flush = std::feof(in.get()) ? Z_FINISH : Z_NO_FLUSH;
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(got);
    do {
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      const int status = deflate(&stream, flush);
      if (status == Z_STREAM_ERROR) throw std::runtime_error("zlib: compression failed");
      const std::size_t produced = output.size() - stream.avail_out;
      if (std::fwrite(output.data(), 1, produced, out.get()) != produced) {
        throw std::runtime_error("cannot write " + target.string() + ": " + std::strerror(errno));
      }
      written += produced;
    } while (stream.avail_out == 0);
  } while (flush != Z_FINISH);

  if (std::fflush(out.get()) != 0) {
    throw std::runtime_error("cannot write " + target.string() + ": " + std::strerror(errno));
  }
  return written;
}

}  // namespace mirrox::agent

#include "agent/zlib_file.h"

#include <fcntl.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent/agent_error.h"
#include "link/file_io.h"
#include "link/unique_fd.h"

namespace mirrox::agent {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

UniqueFd openFile(const std::filesystem::path& path, int flags) {
  UniqueFd file(::open(path.c_str(), flags | O_CLOEXEC, 0666));
  if (!file.valid()) {
    throw AgentError(FailureCode::ResultFile, "cannot open " + path.string() + ": " + std::strerror(errno));
  }
  return file;
}

// Owns a deflate state; deflateEnd runs in every case.
class Deflater {
 public:
  Deflater() {
    if (deflateInit(&stream_, Z_DEFAULT_COMPRESSION) != Z_OK) {
      throw AgentError(FailureCode::ResultFile, "zlib: cannot start compression");
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
  const UniqueFd in = openFile(source, O_RDONLY);
  UniqueFd out = openFile(target, O_WRONLY | O_CREAT | O_TRUNC);
  Deflater deflater;
  z_stream& stream = deflater.stream();
  std::vector<char> input(kBufferSize);
  std::vector<char> output(kBufferSize);
  std::uint64_t written = 0;

  int flush = Z_NO_FLUSH;
  do {
    const ssize_t got = readFull(in.get(), input);
    if (got < 0) throw AgentError(FailureCode::ResultFile, "cannot read " + source.string());
    // A short read is the end of the file.
    flush = static_cast<std::size_t>(got) < input.size() ? Z_FINISH : Z_NO_FLUSH;
    stream.next_in = reinterpret_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(got);
    do {
      stream.next_out = reinterpret_cast<Bytef*>(output.data());
      stream.avail_out = static_cast<uInt>(output.size());
      const int status = deflate(&stream, flush);
      if (status == Z_STREAM_ERROR) throw AgentError(FailureCode::ResultFile, "zlib: compression failed");
      const std::size_t produced = output.size() - stream.avail_out;
      if (const int error = writeAll(out.get(), std::string_view(output.data(), produced)); error != 0) {
        throw AgentError(FailureCode::ResultFile,
                         "cannot write " + target.string() + ": " + std::strerror(error));
      }
      written += produced;
    } while (stream.avail_out == 0);
  } while (flush != Z_FINISH);

  if (const int error = out.close(); error != 0) {
    throw AgentError(FailureCode::ResultFile,
                     "cannot write " + target.string() + ": " + std::strerror(error));
  }
  return written;
}

}  // namespace mirrox::agent

#include "link/result_file.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "link/file_io.h"
#include "link/progress.h"
#include "link/protocol.h"
#include "link/run_context.h"
#include "link/tcp_client.h"

namespace mirrox {
namespace {

constexpr std::size_t kPieceSize = 1024;
constexpr std::size_t kInflateBufferSize = 32768;

// An inflate state for one zlib stream (header, deflate data, Adler-32 trailer).
class Inflater {
 public:
  Inflater() { ok_ = ::inflateInit(&stream_) == Z_OK; }
  ~Inflater() {
    if (ok_) ::inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

// The size of a file for a progress report; 0 when it cannot be learnt, which only blanks the share.
std::uint64_t sizeOf(const std::filesystem::path& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

void show(RunContext& thread, std::string text) {
  thread.statusText() = std::move(text);
  thread.publishStatus();
}

}  // namespace

std::filesystem::path compressedResultFile(const RunContext& thread) {
  return thread.logDir() / kCompressedResultFileName;
}

std::filesystem::path resultFile(const RunContext& thread) { return thread.logDir() / kResultFileName; }

bool ReceiveResultFile(RunContext& thread, const std::filesystem::path& target) {
  OutputFile file(compressedResultFile(thread));  // a failure here ends the exchange (101)
  TcpClient& tcp = thread.tcp();
  try {
    std::array<char, kBlockLengthSize> lengthBytes;
    tcp.readExact(lengthBytes);
    const std::int32_t length = decodeBlockLength(lengthBytes);
    const std::uint64_t total = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    std::array<char, kPieceSize> piece;
    std::uint64_t received = 0;
    ProgressMeter meter(thread, ProgressStep::Receiving);
    // A payload of a whole multiple of 1024 bytes ends with a pass that reads nothing.
    for (;;) {
      const std::size_t chunk =
          received + kPieceSize <= total ? kPieceSize : static_cast<std::size_t>(total - received);
      tcp.readExact(std::span<char>(piece.data(), chunk));
      file.write(std::string_view(piece.data(), chunk));
      if (chunk != kPieceSize) break;
      received += kPieceSize;
      // The whole length is reported once, by finish(), when the block has landed.
      if (received < total) meter.update(received, received, total);
    }
    file.close();
    meter.finish(total, total, total);
  } catch (const std::exception&) {
    return false;
  }
  show(thread, "Файл Ok. Размер(б): " + std::to_string(file.size()));
  try {
    if (!DecompressResultFile(thread, target)) {
      show(thread, "Ошибка декомпрессии");
      return false;
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool DecompressResultFile(RunContext& thread, const std::filesystem::path& target) {
  InputFile input(compressedResultFile(thread));
  OutputFile output(target);
  Inflater inflater;
  if (!inflater.ok()) return false;
  z_stream& z = inflater.stream();
  std::vector<char> in(kInflateBufferSize);
  std::vector<char> out(kInflateBufferSize);
  ProgressMeter meter(thread, ProgressStep::Inflating);
  const std::uint64_t compressedSize = meter.listening() ? sizeOf(compressedResultFile(thread)) : 0;
  std::uint64_t read = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    const std::size_t got = input.read(in);
    if (got == 0) return false;  // the input ended inside the stream (or was empty)
    read += got;
    z.next_in = reinterpret_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(got);
    // Inflate this block while it still has input or the output buffer came back full.
    do {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      rc = ::inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
      output.write(std::string_view(out.data(), out.size() - z.avail_out));
      if (rc == Z_BUF_ERROR && z.avail_in > 0 && z.avail_out > 0) return false;  // no progress
      if (rc != Z_STREAM_END) meter.update(output.size(), read - z.avail_in, compressedSize);
    } while (rc != Z_STREAM_END && (z.avail_in > 0 || z.avail_out == 0));
  }
  output.close();
  meter.finish(output.size(), read - z.avail_in, compressedSize);
  meter.end();
  show(thread, "Декомпрессия. Размер (б): " + std::to_string(output.size()));
  return true;
}

}  // namespace mirrox

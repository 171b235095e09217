#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/byte_stream.h"

// Helpers shared by the fuzz targets. A target stops the process through fuzzCheck when a reader
// breaks one of its promises, so libFuzzer keeps the input as a crash.
namespace mirrox::fuzzing {

// Prints the broken promise and aborts; `input` is shown escaped to help reading the report.
[[noreturn]] void fail(std::string_view what, std::string_view input);

inline void fuzzCheck(bool ok, std::string_view what, std::string_view input = {}) {
  if (!ok) fail(what, input);
}

// A directory of the fuzzing process, created once under the system's temporary directory and
// removed when the process ends normally. One process runs one input at a time, so the files in
// it are rewritten by every run.
const std::filesystem::path& scratchDirectory();

void writeWholeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readWholeFile(const std::filesystem::path& path);

// A byte stream in memory that hands out the queued pieces one read at a time, as a socket hands
// out what has arrived. An empty queue is a read that runs into its limit, so a reader that wants
// more than there is gets "Read Timeout" instead of waiting.
class MemoryStream final : public ByteStream {
 public:
  void open(const std::string& host, int port) override;
  void close() noexcept override { open_ = false; }
  bool isOpen() const override { return open_; }
  void write(std::string_view bytes) override { written.append(bytes); }
  std::size_t read(std::span<char> into, std::optional<std::chrono::milliseconds> limit) override;

  std::deque<std::string> pieces;
  std::string written;

 private:
  bool open_ = false;
};

// Cuts `bytes` into pieces whose lengths come from `lengths` (each byte one length from 1 to 256,
// cycled), so every way a connection can split a block is reachable.
std::deque<std::string> splitIntoPieces(std::string_view bytes, std::string_view lengths);

// Inflates one whole zlib stream independently of the reader under test; nullopt when zlib does
// not accept it or the output would pass `limit` bytes. Bytes after the stream's end are ignored.
std::optional<std::string> referenceInflate(std::string_view compressed, std::size_t limit);

}  // namespace mirrox::fuzzing

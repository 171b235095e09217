// Command lines as the agent receives them from a connection: bytes from a real socket, read
// through the agent's LineReader with a limit that the input picks.
#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "agent/socket.h"
#include "fuzz/fuzz_support.h"

using namespace mirrox;
using agent::LineReader;
using fuzzing::fuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.empty()) return 0;
  // Byte 0 picks the line limit: short ones reach its edges, 0xFF the agent's real one.
  const auto control = static_cast<unsigned char>(input[0]);
  const std::size_t limit = control == 0xFF ? std::size_t{1} << 20 : control % 64;
  const std::string_view stream = input.substr(1);

  int fds[2];
  fuzzCheck(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0, "a socket pair for the connection");
  agent::Socket ours(fds[0]);
  const agent::Socket theirs(fds[1]);
  // The whole input fits the socket's buffer (inputs are at most a few KiB), so no thread is needed.
  theirs.writeAll(stream);
  ::shutdown(theirs.fd(), SHUT_WR);

  LineReader reader(ours, limit);
  std::size_t pos = 0;
  for (;;) {
    std::string line;
    const LineReader::Status status = reader.readLine(line);
    const std::size_t lf = stream.find('\n', pos);
    if (lf == std::string_view::npos) {
      // A last line without its LF is never run; a long one is refused as soon as it is too long.
      const bool tooLong = stream.size() - pos > limit + 1;
      fuzzCheck(status == (tooLong ? LineReader::Status::TooLong : LineReader::Status::Closed),
                "the bytes after the last LF end the connection, or are too long", input);
      return 0;
    }
    std::string_view expected = stream.substr(pos, lf - pos);
    if (!expected.empty() && expected.back() == '\r') expected.remove_suffix(1);
    if (expected.size() > limit) {
      fuzzCheck(status == LineReader::Status::TooLong, "a line over the limit is refused", input);
      return 0;
    }
    fuzzCheck(status == LineReader::Status::Line && line == expected,
              "a line is the bytes before LF without one CR", input);
    pos = lf + 1;
  }
}

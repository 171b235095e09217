// Reply lines as the agent connection delivers them: the bytes are cut into arbitrary pieces,
// read line by line through TcpClient and each line interpreted by ParseReply.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "link/link_fault.h"
#include "link/protocol.h"
#include "link/tcp_client.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

namespace {

// The reply rules, restated independently of the parser.
void checkReply(std::string_view line) {
  std::int32_t value = -12345;
  std::string text = "untouched";
  const int rc = ParseReply(line, value, text);
  const std::size_t slash = line.find('/');
  const std::string_view head = line.substr(0, slash);
  const std::string_view rest = slash == std::string_view::npos ? std::string_view() : line.substr(slash + 1);
  if (head == "Ok") {
    fuzzCheck(rc == 0, "an Ok line is a success", line);
    fuzzCheck(text.empty(), "a success leaves no text", line);
    const auto number = parseDecimal(rest);
    fuzzCheck(value == number.value_or(0), "a success's value is its decimal number or 0", line);
    if (number)
      fuzzCheck(std::to_string(*number) == rest || rest.front() == '+' || rest.front() == '0' ||
                    rest.substr(0, 2) == "-0",
                "a number read back formats to the same digits", line);
    return;
  }
  fuzzCheck(rc == 1, "anything but Ok is a failure", line);
  const std::size_t next = rest.find('/');
  const std::string_view code = rest.substr(0, next);
  fuzzCheck(value == parseDecimal(code).value_or(static_cast<std::int32_t>(FailureCode::Unreadable)),
            "a failure's code is its second field or the unreadable code", line);
  const std::string_view message =
      next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
  fuzzCheck(text == message, "a failure's text is everything after the second slash", line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.size() < 2) return 0;
  // Byte 0 picks the line limit (short ones reach the limit's edges), byte 1 the piece lengths.
  LinkLimits limits;
  limits.maxLineLength =
      static_cast<unsigned char>(input[0]) < 0x80 ? static_cast<unsigned char>(input[0]) % 64 : 16384;
  const std::string_view cuts = input.substr(1, 1 + static_cast<unsigned char>(input[1]) % 4);
  const std::string_view stream = input.substr(1 + cuts.size());

  auto owned = std::make_unique<testing_support::MemoryStream>();
  owned->pieces = testing_support::splitIntoPieces(stream, cuts);
  TcpClient client(limits, std::move(owned));
  client.setTarget("127.0.0.1", 5029);
  client.connect();

  std::size_t pos = 0;
  for (;;) {
    const std::size_t lf = stream.find('\n', pos);
    const bool tooLong = lf == std::string_view::npos ? stream.size() - pos > limits.maxLineLength
                                                      : lf - pos > limits.maxLineLength;
    std::string line;
    try {
      line = client.readLine();
    } catch (const LinkFault& fault) {
      const std::string_view message = fault.what();
      if (tooLong) {
        fuzzCheck(message == kMaxLineLengthMessage, "an over-long line is refused by its length", input);
        // The refused line stays where it was: a second read refuses it again.
        bool again = false;
        try {
          client.readLine();
        } catch (const LinkFault& second) {
          again = std::string_view(second.what()) == kMaxLineLengthMessage;
        }
        fuzzCheck(again, "a refused line consumes nothing", input);
      } else {
        fuzzCheck(lf == std::string_view::npos && message == kReadTimeoutMessage,
                  "only a missing LF makes the read wait out its limit", input);
      }
      return 0;
    }
    fuzzCheck(lf != std::string_view::npos && !tooLong, "a line is returned only when whole and short enough",
              input);
    std::string_view expected = stream.substr(pos, lf - pos);
    if (!expected.empty() && expected.back() == '\r') expected.remove_suffix(1);
    fuzzCheck(line == expected, "a line is the bytes before LF without one CR", input);
    checkReply(line);
    pos = lf + 1;
  }
}

// Command lines as the agent reads them. Reading and encoding must be inverses: a command the
// server encodes reads back as the same command, and a line the agent accepts encodes to a line
// that reads back the same.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "link/command.h"
#include "link/cp1251.h"
#include "link/protocol.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

namespace {

bool oneLine(std::string_view line) { return line.find_first_of("\r\n") == std::string_view::npos; }

// A command built from the input: the identifier up to the first '/' (without line breaks), a kind
// from the byte after it, and the rest as the parameter when it holds none of the bytes that stand
// for a line break on the wire.
WireCommand commandFrom(std::string_view input) {
  WireCommand command;
  const std::size_t slash = input.find('/');
  for (const char c : input.substr(0, slash)) {
    if (c != '\r' && c != '\n') command.Cmd.push_back(c);
  }
  if (slash == std::string_view::npos) return command;
  const std::string_view rest = input.substr(slash + 1);
  if (rest.empty()) return command;
  command.Kind = static_cast<std::uint8_t>(static_cast<unsigned char>(rest[0]) % (KindFetchFile + 1));
  const std::string_view param = rest.substr(1);
  if (param.find_first_of("\x08\x09") == std::string_view::npos) command.Param = std::string(param);
  return command;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  // Any line: what the agent accepts is a command whose own line reads back the same.
  if (const auto received = readCommandLine(line)) {
    fuzzCheck(received->Cmd.find('/') == std::string::npos, "an identifier never holds a slash", line);
    fuzzCheck(line.substr(0, received->Cmd.size()) == received->Cmd, "the identifier is the line's start",
              line);
    fuzzCheck(received->Kind <= KindFetchFile, "only the five kinds are read", line);
    const std::string again = encodeCommandLine(*received);
    fuzzCheck(readCommandLine(again) == received, "a command read from a line reads back from its own line",
              line);
  }

  // encode -> read -> the same command, for every command the server can send.
  const WireCommand command = commandFrom(line);
  const std::string sent = encodeCommandLine(command);
  fuzzCheck(oneLine(sent), "an encoded command line has no line break", line);
  fuzzCheck(readCommandLine(sent) == command, "the agent reads the command that was sent", line);

  // A text command as the server builds it: its UTF-8 parameter arrives as its code page 1251 bytes.
  if (command.Param) {
    const TCommand text{"{00000000-0000-0000-0000-000000000000}", KindSelect, cp1251ToUtf8(*command.Param)};
    const auto received = readCommandLine(commandLine(text, true));
    fuzzCheck(received && received->Param == command.Param && received->Cmd == text.Cmd &&
                  received->Kind == KindSelect,
              "a statement arrives with its identifier and kind, byte for byte", line);
  }
  return 0;
}

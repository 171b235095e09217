#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/command.h"

// The line protocol between this server and a site agent; docs/protocol.md describes it in full.
namespace mirrox {

// LF (0x0A) becomes 0x08 and CR (0x0D) becomes 0x09; every other byte, existing 0x08 and 0x09
// included, passes unchanged, so the length never changes and a parameter never breaks a line.
std::string EncodeParam(std::string_view text);
// The agent's side of EncodeParam: 0x09 back to CR and 0x08 back to LF.
std::string decodeParam(std::string_view text);

// The command line in code page 1251, without its CR LF terminator.
// Without parameter (only for a command with a GUID): "<Cmd>/<Kind>". With parameter:
// "<Cmd>/<Kind>/<encoded Param>", which for an empty Cmd begins with the slash.
std::string commandLine(const TCommand& command, bool withParam);
// The line that goes out first: a command with a GUID travels without its statement.
inline std::string firstCommandLine(const TCommand& command) {
  return commandLine(command, command.Cmd.empty());
}

// A command line as the agent reads it. `param` is decoded (CR and LF restored) and still in code
// page 1251; it is empty when the line carries none.
struct ReceivedCommand {
  std::string cmd;
  std::uint8_t kind = KindExecute;
  std::optional<std::string> param;
};
// Empty when the kind is not a decimal number from 0 to 255.
std::optional<ReceivedCommand> parseCommandLine(std::string_view line);

// Interprets one reply line. Returns 0 for a success ("Ok" as the first field): `value` gets the
// rest of the line as a decimal integer (0 when empty, missing or not an integer) and `text` is
// cleared. Returns 1 for a failure: `value` gets the second field as the error code (10 when
// missing or not an integer) and `text` everything after the second "/".
int ParseReply(std::string_view line, std::int32_t& value, std::string& text);

// A whole text of an optional sign and decimal digits that fits 32 bits.
std::optional<std::int32_t> parseDecimal(std::string_view text);

}  // namespace mirrox

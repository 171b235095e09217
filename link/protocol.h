#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/command.h"

// The line protocol between this server and a site agent, both sides' vocabulary: command lines,
// reply lines, failure codes and the length in front of a file block. docs/protocol.md describes it
// in full.
namespace mirrox {

// The codes of an agent's failure line "Error/<code>/<message>". Only NoStatement has a meaning the
// server acts on: it resends the command once with its statement.
enum class FailureCode : std::int32_t {
  Database = 1,     // the Firebird server refused the attach or the statement
  NoDatabase = 2,   // a statement or select before any database was opened
  BadCommand = 3,   // the line could not be read as a command
  NoStatement = 4,  // an identifier without a parameter that the agent has no statement for
  NoResult = 5,     // a fetch of an identifier the connection never produced, or a failed one
  ResultFile = 6,   // the result file could not be written, packed or read
  // Not sent by an agent: what the server reads from a failure line without a decimal code.
  Unreadable = 10,
};

// LF (0x0A) becomes 0x08 and CR (0x0D) becomes 0x09; every other byte, existing 0x08 and 0x09
// included, passes unchanged, so the length never changes and a parameter never breaks a line.
std::string EncodeParam(std::string_view text);

// A command as it travels on the line: identifier and parameter in code page 1251, the parameter
// decoded (CR and LF restored) and absent when the line carries no third field.
struct WireCommand {
  std::string Cmd;
  std::uint8_t Kind = KindExecute;
  std::optional<std::string> Param;

  bool operator==(const WireCommand&) const = default;
};

// "<Cmd>/<Kind>" or "<Cmd>/<Kind>/<encoded Param>", without the CR LF terminator.
std::string encodeCommandLine(const WireCommand& command);
// Reads a command line as the agent receives it, terminator removed. Strict: the kind is exactly
// one of the five digits; the identifier is everything before the first '/', the parameter
// everything after the second, '/' included. Empty for any other line.
std::optional<WireCommand> readCommandLine(std::string_view line);

// The command line of a command in code page 1251, without its CR LF terminator: with its
// parameter, or (only for a command with a GUID) without it.
std::string commandLine(const TCommand& command, bool withParam);
// The line that goes out first: a command with a GUID travels without its statement.
inline std::string firstCommandLine(const TCommand& command) {
  return commandLine(command, command.Cmd.empty());
}

// Reply lines as the agent sends them, LF included. "Ok"; "Ok/<value>" (a select's first reply
// carries its result identifier this way); "Error/<code>/<message>", where CR and LF inside the
// message become blanks so that the reply stays one line ('/' may stay: the server takes
// everything after the second '/').
std::string okReply();
std::string okReply(std::uint64_t value);
std::string failureReply(FailureCode code, std::string_view message);

// Interprets one reply line. Returns 0 for a success ("Ok" as the first field): `value` gets the
// rest of the line as a decimal integer (0 when empty, missing or not an integer) and `text` is
// cleared. Returns 1 for a failure: `value` gets the second field as the failure code
// (FailureCode::Unreadable when missing or not an integer) and `text` everything after the second "/".
int ParseReply(std::string_view line, std::int32_t& value, std::string& text);

// A whole text of an optional sign and decimal digits that fits 32 bits.
std::optional<std::int32_t> parseDecimal(std::string_view text);

// The payload length in front of a file block: 4 bytes, signed 32-bit, big-endian.
inline constexpr std::size_t kBlockLengthSize = 4;
std::string encodeBlockLength(std::int32_t length);
std::int32_t decodeBlockLength(std::span<const char, kBlockLengthSize> bytes);

}  // namespace mirrox

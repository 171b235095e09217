#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirrox::agent {

// What the server asks for; the values are those on the wire.
enum class CommandKind : int {
  Execute = 0,
  Select = 1,
  OpenDatabase = 2,
  CloseDatabase = 3,
  FetchFile = 4,
};

// One command line as received, its terminator already removed.
//   "{GUID}/kind"          the agent's own statement for that identifier
//   "{GUID}/kind/param"    the statement travels with the identifier (the resend after code 4)
//   "/kind/param"          no identifier: the parameter is the statement, path or result id
struct AgentCommand {
  std::string identifier;  // empty for commands without an identifier
  CommandKind kind = CommandKind::Execute;
  // Present when the line has a third field, even an empty one; already decoded (see decodeParam).
  std::optional<std::string> param;
};

// Parses a command line; nullopt when it has no kind field or the kind is not one of the five.
// The parameter may itself contain '/': everything after the second '/' belongs to it.
std::optional<AgentCommand> parseCommandLine(std::string_view line);

// The server sends multi-line texts as one line with CR as 0x09 and LF as 0x08; this turns them back.
// Every other byte, TAB included, is kept. Note the mapping: 0x09 means CR here, not TAB.
std::string decodeParam(std::string_view encoded);

}  // namespace mirrox::agent

#include "agent/command_line.h"

namespace mirrox::agent {

std::optional<AgentCommand> parseCommandLine(std::string_view line) {
  const auto firstSlash = line.find('/');
  if (firstSlash == std::string_view::npos) return std::nullopt;
  AgentCommand command;
  command.identifier = std::string(line.substr(0, firstSlash));

  std::string_view rest = line.substr(firstSlash + 1);
  const auto secondSlash = rest.find('/');
  const std::string_view kindText = rest.substr(0, secondSlash);
  // Exactly one digit: "01" or "+1" is not a kind this protocol ever sends.
  if (kindText.size() != 1 || kindText[0] < '0' || kindText[0] > '4') return std::nullopt;
  command.kind = static_cast<CommandKind>(kindText[0] - '0');
  if (secondSlash != std::string_view::npos) {
    command.param = decodeParam(rest.substr(secondSlash + 1));
  }
  return command;
}

std::string decodeParam(std::string_view encoded) {
  std::string decoded(encoded);
  for (char& c : decoded) {
    if (c == '\x09') {
      c = '\r';
    } else if (c == '\x08') {
      c = '\n';
    }
  }
  return decoded;
}

}  // namespace mirrox::agent

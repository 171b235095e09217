// Command lines as the agent reads them. The link's reader and the agent's own reader must agree
// on every line the agent accepts, and a parameter must survive the trip through a line.
#include <cstdint>
#include <string>
#include <string_view>

#include "agent/command_line.h"
#include "fuzz/fuzz_support.h"
#include "link/command.h"
#include "link/cp1251.h"
#include "link/protocol.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  const auto agentView = agent::parseCommandLine(line);
  const auto linkView = parseCommandLine(line);
  if (agentView) {
    fuzzCheck(linkView.has_value(), "a line the agent runs is a command line to the link too", line);
    fuzzCheck(linkView->cmd == agentView->identifier, "both readers see the same identifier", line);
    fuzzCheck(linkView->kind == static_cast<std::uint8_t>(agentView->kind), "both readers see the same kind", line);
    fuzzCheck(linkView->param == agentView->param, "both readers see the same parameter", line);
    fuzzCheck(agentView->identifier.find('/') == std::string::npos, "an identifier never holds a slash", line);
  }
  if (linkView) {
    fuzzCheck(line.substr(0, linkView->cmd.size()) == linkView->cmd, "the identifier is the line's start", line);
    fuzzCheck(agent::decodeParam(line) == decodeParam(line), "both sides decode alike", line);
  }

  // Any text as a parameter: the line stays one line and the agent gets the text back.
  if (line.find('\x08') == std::string_view::npos && line.find('\x09') == std::string_view::npos) {
    TCommand command;
    command.Cmd = "{00000000-0000-0000-0000-000000000000}";
    command.Kind = KindSelect;
    command.Param = cp1251ToUtf8(line);
    const std::string sent = commandLine(command, true);
    fuzzCheck(sent.find('\n') == std::string::npos && sent.find('\r') == std::string::npos,
              "an encoded command line has no line break", line);
    const auto received = agent::parseCommandLine(sent);
    fuzzCheck(received && received->param && *received->param == line, "the parameter arrives unchanged", line);
    fuzzCheck(received->identifier == command.Cmd && received->kind == agent::CommandKind::Select,
              "the identifier and kind arrive unchanged", line);
  }
  return 0;
}

#include "agent/agent_options.h"

#include <arpa/inet.h>

#include <charconv>

namespace mirrox::agent {

namespace {

// A whole decimal number from `low` to `high`.
std::optional<unsigned> parseNumber(const std::string& text, unsigned low, unsigned high) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<std::uint16_t> parsePort(const std::string& text) {
  const std::optional<unsigned> value = parseNumber(text, 0, 65535);
  if (!value) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

bool isIpv4(const std::string& text) {
  in_addr address{};
  return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

}  // namespace

ParsedOptions parseAgentOptions(const std::vector<std::string>& arguments, const char* environmentUser,
                                const char* environmentPassword) {
  AgentOptions options;
  if (environmentUser != nullptr && *environmentUser != '\0') options.user = environmentUser;
  if (environmentPassword != nullptr && *environmentPassword != '\0') {
    options.password = environmentPassword;
  }
  auto failure = [](std::string message) { return ParsedOptions{std::nullopt, std::move(message)}; };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> inlineValue;
    if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    // The value of an option that takes one, or nullopt with nothing consumed.
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (i + 1 < arguments.size()) return arguments[++i];
      return std::nullopt;
    };
    auto flag = [&](bool& target) -> bool {
      if (inlineValue) return false;
      target = true;
      return true;
    };

    if (name == "--help" || name == "-h") {
      if (!flag(options.help)) return failure(name + " takes no value");
    } else if (name == "--version") {
      if (!flag(options.version)) return failure(name + " takes no value");
    } else if (name == "--no-statements") {
      if (!flag(options.noStatements)) return failure(name + " takes no value");
    } else if (name == "--port" || name == "--bind" || name == "--user" || name == "--password" ||
               name == "--log" || name == "--firebird" || name == "--lock-timeout" || name == "--allow" ||
               name == "--results") {
      const std::optional<std::string> text = value();
      if (!text) return failure(name + " needs a value");
      if (name == "--port") {
        const std::optional<std::uint16_t> port = parsePort(*text);
        if (!port) return failure("--port: not a port number (0 to 65535): " + *text);
        options.port = *port;
      } else if (name == "--bind") {
        if (!isIpv4(*text)) return failure("--bind: not an IPv4 address: " + *text);
        options.bindAddress = *text;
      } else if (name == "--user") {
        options.user = *text;
      } else if (name == "--password") {
        options.password = *text;
      } else if (name == "--log") {
        if (text->empty()) return failure("--log needs a file name");
        options.logFile = *text;
      } else if (name == "--lock-timeout") {
        // Firebird keeps the timeout in 16 bits; 0 would mean waiting without end.
        const std::optional<unsigned> seconds = parseNumber(*text, 1, 32767);
        if (!seconds) return failure("--lock-timeout: not a number of seconds (1 to 32767): " + *text);
        options.lockTimeout = static_cast<int>(*seconds);
      } else if (name == "--allow") {
        const std::optional<Ipv4Network> network = Ipv4Network::parse(*text);
        if (!network) return failure("--allow: not an IPv4 address or ADDRESS/PREFIX (0 to 32): " + *text);
        options.allowed.push_back(*network);
      } else if (name == "--results") {
        if (text->empty()) return failure("--results needs a directory");
        options.resultsDirectory = *text;
      } else {
        options.firebirdServer = *text;
      }
    } else {
      return failure("unknown option: " + arguments[i] + " (see --help)");
    }
  }
  return ParsedOptions{options, {}};
}

std::string agentUsage() {
  return "Usage: mirrox-agent [options]\n"
         "\n"
         "Site agent: serves the Mirrox line protocol on TCP in front of the site's Firebird\n"
         "databases, which it opens through the Firebird server on request.\n"
         "\n"
         "Options:\n"
         "  --port N          TCP port to listen on (default 5029; 0 picks a free port)\n"
         "  --bind ADDRESS    IPv4 address to listen on (default 0.0.0.0, every interface)\n"
         "  --user NAME       Firebird user (default $ISC_USER, else SYSDBA)\n"
         "  --password TEXT   Firebird password (default $ISC_PASSWORD, else masterkey)\n"
         "  --firebird HOST   Firebird server in front of every database path\n"
         "                    (default 127.0.0.1/3050)\n"
         "  --no-statements   know no statements by identifier: every identified command is\n"
         "                    answered with error code 4, so the client resends its text\n"
         "  --lock-timeout N  seconds a statement waits for a row another writer holds\n"
         "                    before it fails (default 20)\n"
         "  --log FILE        append the log to FILE (default: standard error); SIGHUP\n"
         "                    reopens it after a rotation\n"
         "  --allow ADDRESS[/PREFIX]\n"
         "                    accept clients from this address or network only; repeatable\n"
         "                    (default: every address). Others are closed at once and logged\n"
         "  --results DIR     keep result files in a directory of their own inside DIR\n"
         "                    (default: inside $TMPDIR, else /tmp)\n"
         "  --config FILE     read options from FILE: \"key = value\" lines, the keys being the\n"
         "                    options above that take a value, without \"--\"; options on the\n"
         "                    command line override the file's\n"
         "  --version         show the version\n"
         "  --help            show this text\n"
         "\n"
         "The first line on standard output is \"listening on ADDRESS:PORT\" once the port is open.\n"
         "Results of selects are kept while their connection lasts.\n"
         "SIGINT or SIGTERM stops the agent.\n";
}

}  // namespace mirrox::agent

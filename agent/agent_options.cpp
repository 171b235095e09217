#include "agent/agent_options.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "link/platform/sockets.h"

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

bool isIpv4(const std::string& text) { return platform::parseIpv4(text).has_value(); }

// The long options that take a value, without "--".
constexpr std::array<std::string_view, 9> kValueOptions = {
    "port", "bind", "allow", "user", "password", "firebird", "log", "results", "lock-timeout"};

}  // namespace

bool takesValue(std::string_view name) {
  return std::find(kValueOptions.begin(), kValueOptions.end(), name) != kValueOptions.end();
}

std::optional<std::string> setOption(AgentOptions& options, std::string_view name, const std::string& value) {
  if (name == "port") {
    const std::optional<std::uint16_t> port = parsePort(value);
    if (!port) return "not a port number (0 to 65535)";
    options.port = *port;
  } else if (name == "bind") {
    if (!isIpv4(value)) return "not an IPv4 address";
    options.bindAddress = value;
  } else if (name == "user") {
    options.user = value;
  } else if (name == "password") {
    options.password = value;
  } else if (name == "log") {
    if (value.empty()) return "needs a file name";
    options.logFile = value;
  } else if (name == "lock-timeout") {
    // Firebird keeps the timeout in 16 bits; 0 would mean waiting without end.
    const std::optional<unsigned> seconds = parseNumber(value, 1, 32767);
    if (!seconds) return "not a number of seconds (1 to 32767)";
    options.lockTimeout = static_cast<int>(*seconds);
  } else if (name == "allow") {
    const std::optional<Ipv4Network> network = Ipv4Network::parse(value);
    if (!network) return "not an IPv4 address or ADDRESS/PREFIX (0 to 32)";
    options.allowed.push_back(*network);
  } else if (name == "results") {
    if (value.empty()) return "needs a directory";
    options.resultsDirectory = value;
  } else if (name == "firebird") {
    options.firebirdServer = value;
  } else {
    return "not an option that takes a value";
  }
  return std::nullopt;
}

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
    } else if (name.rfind("--", 0) == 0 && takesValue(std::string_view(name).substr(2))) {
      if (!inlineValue && i + 1 == arguments.size()) return failure(name + " needs a value");
      const std::string value = inlineValue ? *inlineValue : arguments[++i];
      if (const std::optional<std::string> refused =
              setOption(options, std::string_view(name).substr(2), value)) {
        return failure(name + ": " + *refused + (value.empty() ? std::string() : ": " + value));
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

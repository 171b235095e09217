#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agent/allowed_networks.h"
#include "agent/site_database.h"

namespace mirrox::agent {

struct AgentOptions {
  std::string bindAddress = "0.0.0.0";
  std::uint16_t port = 5029;
  // Firebird's host part in front of every database path.
  std::string firebirdServer = "127.0.0.1/3050";
  std::string user = "SYSDBA";
  std::string password = "masterkey";
  bool noStatements = false;
  // How long a statement waits for a row another writer holds, in seconds.
  int lockTimeout = kDefaultLockTimeoutSeconds;
  std::optional<std::string> logFile;  // stderr when absent
  // Where result files are kept: a directory of its own created inside this one; under $TMPDIR
  // when absent.
  std::optional<std::string> resultsDirectory;
  // The clients that may connect; everyone when empty.
  std::vector<Ipv4Network> allowed;
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  std::optional<AgentOptions> options;  // absent when `error` says why
  std::string error;
};

// Reads the command line (without the program name). Options take their value as the next word or
// after '=' ("--port 0", "--port=0"). The user and password default to the Firebird client's
// environment variables ISC_USER and ISC_PASSWORD when they are set (pass them in `environmentUser`
// and `environmentPassword`), so that a password need not show in the process list.
ParsedOptions parseAgentOptions(const std::vector<std::string>& arguments,
                                const char* environmentUser = nullptr,
                                const char* environmentPassword = nullptr);

// Whether `name` (a long option without "--") takes a value; these are also the keys of the
// configuration file.
bool takesValue(std::string_view name);

// Sets the option `name` (a long option that takes a value, without "--") to `value`. Returns why
// the value is refused, naming neither the option nor the value ("not a port number (0 to
// 65535)"); nothing when it was taken.
std::optional<std::string> setOption(AgentOptions& options, std::string_view name, const std::string& value);

// The text of --help.
std::string agentUsage();

}  // namespace mirrox::agent

#include "agent/config_file.h"

#include <cerrno>
#include <fstream>

#include "agent/agent_options.h"
#include "link/platform/files.h"

namespace mirrox::agent {
namespace {

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

ConfigArguments readConfigFile(const std::filesystem::path& path) {
  ConfigArguments result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot read the configuration file " + path.string() + ": " + platform::errorText(errno);
    return result;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string text = trimmed(line);
    if (text.empty() || text[0] == '#') continue;
    // A line that is not understood is named by its place and its key, never by its whole text:
    // a mistyped password line would otherwise copy the password into the journal.
    const std::string where = path.string() + ":" + std::to_string(number) + ": ";
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
      result.error = where + "not a \"key = value\" line";
      return result;
    }
    const std::string key = trimmed(text.substr(0, equals));
    const std::string value = trimmed(text.substr(equals + 1));
    if (!takesValue(key)) {
      result.error = where + "unknown key: " + key + " (see mirrox-agent --help)";
      return result;
    }
    // Each value is checked here, where its line is known, by the parser the command line uses.
    AgentOptions checked;
    if (const std::optional<std::string> refused = setOption(checked, key, value)) {
      result.error = where + key + " = " + value + ": " + *refused;
      return result;
    }
    result.arguments.push_back("--" + key);
    result.arguments.push_back(value);
  }
  if (in.bad()) result.error = "cannot read the configuration file " + path.string();
  return result;
}

ConfigArguments expandConfigOption(const std::vector<std::string>& arguments) {
  ConfigArguments expanded;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string file;
    if (arguments[i] == "--config") {
      if (i + 1 == arguments.size()) return ConfigArguments{{}, "--config needs a file name"};
      file = arguments[++i];
    } else if (arguments[i].rfind("--config=", 0) == 0) {
      file = arguments[i].substr(9);
    } else {
      rest.push_back(arguments[i]);
      continue;
    }
    if (file.empty()) return ConfigArguments{{}, "--config needs a file name"};
    ConfigArguments read = readConfigFile(file);
    if (!read.error.empty()) return read;
    expanded.arguments.insert(expanded.arguments.end(), read.arguments.begin(), read.arguments.end());
  }
  expanded.arguments.insert(expanded.arguments.end(), rest.begin(), rest.end());
  return expanded;
}

}  // namespace mirrox::agent

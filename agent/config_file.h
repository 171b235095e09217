#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mirrox::agent {

// The agent's configuration file: one "key = value" a line, "#" starts a comment line, blank lines
// are ignored. The keys are the long options that take a value, without "--".
struct ConfigArguments {
  std::vector<std::string> arguments;  // "--key", "value", ... in the file's order
  // Set when the file cannot be used: names the file, and for a line its number, its key and a
  // refused value.
  std::string error;
};
ConfigArguments readConfigFile(const std::filesystem::path& path);

// The command line with a "--config FILE" (or "--config=FILE") replaced by the file's options, which
// come first, so that the command line's own options override them (and add to --allow).
ConfigArguments expandConfigOption(const std::vector<std::string>& arguments);

}  // namespace mirrox::agent

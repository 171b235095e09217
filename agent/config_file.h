#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mirrox::agent {

// The agent's configuration file: one "key = value" a line, "#" starts a comment line, blank lines
// are ignored. The keys are the long options that take a value, without "--".
struct ConfigArguments {
  std::vector<std::string> arguments;  // "--key", "value", ... in the file's order
  std::string error;                   // set when the file cannot be used; names file, line and key
};
ConfigArguments readConfigFile(const std::filesystem::path& path);

// The command line with a "--config FILE" (or "--config=FILE") replaced by the file's options, which
// come first, so that the command line's own options override them (and add to --allow).
ConfigArguments expandConfigOption(const std::vector<std::string>& arguments);

}  // namespace mirrox::agent

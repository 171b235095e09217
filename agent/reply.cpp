#include "agent/reply.h"

namespace mirrox::agent {

std::string okReply() { return "Ok\n"; }

std::string okReply(std::uint64_t value) { return "Ok/" + std::to_string(value) + "\n"; }

std::string failureReply(FailureCode code, std::string_view message) {
  std::string line = "Error/" + std::to_string(static_cast<int>(code)) + "/";
  line.reserve(line.size() + message.size() + 1);
  for (char c : message) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
  line.push_back('\n');
  return line;
}

}  // namespace mirrox::agent

#pragma once

#include <stdexcept>
#include <string>

#include "link/protocol.h"

namespace mirrox::agent {

// A command the agent cannot carry out. code() is the failure code of the reply that tells the
// client, what() the message after it: code page 1251 bytes, as everything the agent sends.
class AgentError : public std::runtime_error {
 public:
  AgentError(FailureCode code, const std::string& message) : std::runtime_error(message), code_(code) {}

  FailureCode code() const { return code_; }

 private:
  FailureCode code_;
};

}  // namespace mirrox::agent

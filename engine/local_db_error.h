#pragma once

#include <stdexcept>
#include <string>

namespace mirrox {

// A failed call into the local database layer. what() is the server's or the client library's
// message in UTF-8, lines separated by "\n", as the operator is to read it.
class LocalDbError : public std::runtime_error {
 public:
  explicit LocalDbError(const std::string& message, bool connectionLost = false)
      : std::runtime_error(message), connectionLost_(connectionLost) {}

  // The attachment is gone (network error, server shut down, attachment ended): nothing more can
  // be done on it until it is connected again.
  bool connectionLost() const { return connectionLost_; }

 private:
  bool connectionLost_;
};

}  // namespace mirrox

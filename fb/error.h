#pragma once

#include <stdexcept>
#include <string>

namespace mirrox::fb {

// A call into Firebird that failed, or a refusal of the layer in front of it (a value that cannot
// be bound, a cursor that is not open, a result file whose rows cannot be read or whose refused
// rows cannot be recorded). what() is the message as the operator reads it: UTF-8,
// its lines separated by "\n".
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message, bool connectionLost = false)
      : std::runtime_error(message), connectionLost_(connectionLost) {}

  // The attachment is gone (network error, server shut down, attachment ended): nothing more can be
  // done on it until it is attached again.
  bool connectionLost() const { return connectionLost_; }

 private:
  bool connectionLost_;
};

}  // namespace mirrox::fb

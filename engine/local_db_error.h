#pragma once

#include <stdexcept>
#include <string>

namespace mirrox {

// A failed call into the local database layer. what() is the server's or the client library's
// message in UTF-8, lines separated by "\n", as the operator is to read it.
class LocalDbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace mirrox

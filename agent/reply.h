#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirrox::agent {

// Failure codes of the agent's replies. Only NoStatement has a meaning the server acts on: it
// resends the command once with its statement text.
enum class FailureCode : int {
  Database = 1,     // the Firebird server refused the attach or the statement
  NoDatabase = 2,   // a statement or select before any database was opened
  BadCommand = 3,   // the line could not be read as a command
  NoStatement = 4,  // an identifier without a parameter that this agent has no statement for
  NoResult = 5,     // a fetch of an identifier this connection never produced, or a failed one
  ResultFile = 6,   // the result file could not be written, packed or read
};

// "Ok" followed by LF.
std::string okReply();
// "Ok/<value>" followed by LF; a select's first reply carries its result identifier this way.
std::string okReply(std::uint64_t value);
// "Error/<code>/<message>" followed by LF. CR and LF inside the message become blanks so that the
// reply stays one line; '/' may stay, the server takes everything after the second '/'.
std::string failureReply(FailureCode code, std::string_view message);

}  // namespace mirrox::agent

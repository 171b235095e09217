#pragma once

#include <stdexcept>
#include <string>

namespace mirrox {

// A fault that breaks off an exchange with an agent: transport errors, time limits, an over-long
// reply line, a file that cannot be created. SendCommand turns it into result 101 with what() as the
// start of the status text. Never crosses out of the link.
class LinkFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The transport messages the operator sees.
inline constexpr const char* kReadTimeoutMessage = "Read Timeout";
inline constexpr const char* kMaxLineLengthMessage = "Max line length exceeded.";
inline constexpr const char* kClosedGracefullyMessage = "Connection Closed Gracefully.";
// An unlimited wait given up because the program is stopping.
inline constexpr const char* kStopRequestedMessage = "Stopped at the operator's request.";

// "Socket Error # <errno>\r\n<text of errno>".
std::string socketErrorMessage(int error);

}  // namespace mirrox

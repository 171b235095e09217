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
// The link's own texts, Russian like every other line of the operator's log.
// An unlimited wait given up because the program is stopping.
inline constexpr const char* kStopRequestedMessage = "Остановлено по запросу оператора.";
// "Нет объекта в позиции <index>": the list has no object at that position.
inline std::string noObjectMessage(int index) { return "Нет объекта в позиции " + std::to_string(index); }
// Followed by the port.
inline constexpr const char* kInvalidPortMessage = "Недопустимый порт ";
// Followed by the host in quotation marks and the resolver's reason.
inline constexpr const char* kHostNotFoundMessage = "Узел не найден: ";
// Each followed by the path in quotation marks, ". " and the system's reason.
inline constexpr const char* kCannotCreateFileMessage = "Невозможно создать файл";
inline constexpr const char* kCannotWriteFileMessage = "Невозможно записать файл";
inline constexpr const char* kCannotOpenFileMessage = "Невозможно открыть файл";
inline constexpr const char* kCannotReadFileMessage = "Невозможно прочитать файл";

// "Socket Error # <errno>\r\n<text of errno>".
std::string socketErrorMessage(int error);

}  // namespace mirrox

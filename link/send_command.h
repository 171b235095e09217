#pragma once

#include <cstdint>

#include "link/command.h"

namespace mirrox {

class RunContext;

// Results of SendCommand.
inline constexpr std::int32_t kSendOk = 0;
inline constexpr std::int32_t kSendFailed = 1;              // the agent answered with a failure line
inline constexpr std::int32_t kSendBroken = 101;            // the exchange broke off
inline constexpr std::int32_t kSendFileNotReceived = 1001;  // a fetch's result file did not arrive

// Sends one command to the agent of the object at `index` of `ObjectList` over thread.tcp() and
// interprets the reply; for a fetch, receives and inflates the result file into
// LogDir/"repl.rc". Leaves the outcome in thread.statusText() for the caller to publish: empty after
// success, the agent's message after a failure line, the fault's message, a blank and the command's
// `Cmd` after a broken exchange, "Ошибка получения файла" after a failed fetch.
//
// The connection opens lazily and stays open for the next command; a change of host or port closes
// it first. While a select's replies are awaited (no read limit), a stop request of the program ends
// the wait with 101 within LinkLimits::stopPollInterval. A broken exchange (101, or a result file cut off in
// transfer) also drops the connection: its byte stream is no longer in step with the agent, and a late reply
// must never be read as the answer to the next command. Otherwise callers disconnect at the end of a
// dialogue.
std::int32_t SendCommand(RunContext& thread, int index, const TCommand& command);

// The console's link test: opens the object's remote database at its agent, closes it again when
// that succeeded, and disconnects. True exactly when the open succeeded; after a failure the status
// text holds the open's message.
bool CheckConnection(RunContext& thread, int index);

}  // namespace mirrox

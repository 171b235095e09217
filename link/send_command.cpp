#include "link/send_command.h"

#include <exception>
#include <string>

#include "link/cp1251.h"
#include "link/link_fault.h"
#include "link/protocol.h"
#include "link/result_file.h"
#include "link/run_context.h"
#include "link/tcp_client.h"

namespace mirrox {
namespace {

// Reads one reply line and interprets it into `value` and the status text.
int readReply(RunContext& thread, std::int32_t& value) {
  const std::string line = cp1251ToUtf8(thread.tcp().readLine());
  return ParseReply(line, value, thread.statusText());
}

std::int32_t exchange(RunContext& thread, int index, const TCommand& command) {
  const std::optional<AgentSite> site = thread.agentSite(index);
  if (!site) throw LinkFault(noObjectMessage(index));
  TcpClient& tcp = thread.tcp();
  if (tcp.host() != site->host || tcp.port() != site->port) {
    tcp.disconnect();
    tcp.setTarget(site->host, site->port);
  }
  tcp.setReadTimeout(tcp.limits().readTimeout);
  if (!tcp.connected()) tcp.connect();

  tcp.writeLine(firstCommandLine(command));
  // A select may run for as long as it needs; keepalive still ends the wait for a dead peer.
  if (command.Kind == KindSelect) tcp.setReadTimeout(std::nullopt);

  std::int32_t value = 0;
  int reply = readReply(thread, value);
  if (reply != 0 && value == static_cast<std::int32_t>(FailureCode::NoStatement)) {
    // The agent has no statement of its own for this GUID: send it once more with the text.
    tcp.writeLine(commandLine(command, true));
    reply = readReply(thread, value);
  }
  if (reply != 0) return kSendFailed;

  if (command.Kind == KindSelect) {
    thread.setResultId(index, value);
    std::int32_t completion = 0;
    if (readReply(thread, completion) != 0) {
      thread.setResultId(index, 0);
      return kSendFailed;
    }
    return kSendOk;
  }
  if (command.Kind == KindFetchFile) {
    if (!ReceiveResultFile(thread, resultFile(thread))) {
      thread.statusText() = "Ошибка получения файла";
      return kSendFileNotReceived;
    }
  }
  return kSendOk;
}

// For the length of one exchange an unlimited wait gives way to the program's stop request.
class StopCheckScope {
 public:
  explicit StopCheckScope(RunContext& thread) : tcp_(thread.tcp()) {
    tcp_.setStopCheck([&thread] { return thread.stopRequested(); });
  }
  ~StopCheckScope() { tcp_.setStopCheck(nullptr); }
  StopCheckScope(const StopCheckScope&) = delete;
  StopCheckScope& operator=(const StopCheckScope&) = delete;

 private:
  TcpClient& tcp_;
};

}  // namespace

std::int32_t SendCommand(RunContext& thread, int index, const TCommand& command) {
  const TCommand copy = command;
  const StopCheckScope stopCheck(thread);
  try {
    const std::int32_t result = exchange(thread, index, copy);
    if (result == kSendFileNotReceived) {
      // The transfer may have stopped inside the block; what is left of it must not be read as a
      // reply. After a complete block that failed to inflate the stream would still be in step,
      // but telling the two apart is not worth a stale connection.
      thread.tcp().disconnect();
    }
    return result;
  } catch (const std::exception& fault) {
    thread.tcp().disconnect();
    thread.statusText() = std::string(fault.what()) + " " + copy.Cmd;
    return kSendBroken;
  }
}

bool CheckConnection(RunContext& thread, int index) {
  const std::optional<AgentSite> site = thread.agentSite(index);
  const TCommand open = openDatabaseCommand(site ? site->remoteDbPath : std::string());
  const std::int32_t result = SendCommand(thread, index, open);
  if (result == kSendOk) {
    const std::string kept = thread.statusText();
    SendCommand(thread, index, CmdCloseDatabase);
    thread.statusText() = kept;
  }
  thread.tcp().disconnect();
  return result == kSendOk;
}

}  // namespace mirrox

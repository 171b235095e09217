#include "engine/prepare_remote.h"

#include <exception>
#include <optional>
#include <span>
#include <string>

#include "engine/engine_context.h"
#include "engine/engine_messages.h"
#include "engine/upgrade_scripts.h"
#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "link/send_command.h"
#include "link/tcp_client.h"

namespace mirrox {
namespace {

std::int32_t prepareSteps(EngineContext& thread, int index) {
  const std::optional<LocalSite> site = thread.localSite(index);
  const std::optional<AgentSite> agent = thread.agentSite(index);
  if (!site || !agent) {
    thread.statusText() = messages::kNoObjectAtPosition + std::to_string(index);
    return 1;
  }
  thread.statusText() = messages::kPrepareStart + site->name;
  thread.publishStatus();

  std::span<const TCommand> script;
  if (site->dbType == DbTypeMetering) {
    script = OriginalRep::MeteringPrepScript;
  } else if (site->dbType == DbTypeJournal) {
    script = JournalRep::JournalPrepScript;
  } else {
    thread.statusText() = std::string(messages::kUnknownDbType) + std::to_string(site->dbType);
    return 1;
  }

  if (const std::int32_t result = SendCommand(thread, index, openDatabaseCommand(agent->remoteDbPath));
      result != 0) {
    return result;
  }
  for (const TCommand& statement : script) {
    // A refused statement (most often: prepared before) ends the preparation; the dropped
    // connection tells the agent to let go of the database.
    if (const std::int32_t result = SendCommand(thread, index, statement); result != 0) return result;
  }
  SendCommand(thread, index, CmdCloseDatabase);
  return 0;
}

}  // namespace

std::int32_t PrepareRemoteDatabase(EngineContext& thread, int index) {
  if (index < 0) return 0;
  std::int32_t result = 1;
  try {
    result = prepareSteps(thread, index);
  } catch (const std::exception& error) {
    thread.statusText() = error.what();
    result = 1;
  }
  thread.tcp().disconnect();
  if (result != 0) {
    thread.statusText() += messages::kSeparator;
  } else {
    thread.statusText() = messages::kSeparator;
  }
  thread.publishStatus();
  return result;
}

}  // namespace mirrox

#include "engine/prepare_remote.h"

#include <optional>
#include <span>
#include <string>

#include "engine/engine_context.h"
#include "engine/engine_messages.h"
#include "engine/run_boundary.h"
#include "engine/upgrade_scripts.h"
#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "link/send_command.h"
#include "link/tcp_client.h"

namespace mirrox {
namespace {

std::int32_t prepareSteps(EngineContext& thread, int index) {
  const std::optional<RunObject> object = objectAt(thread, index);
  if (!object) return 1;
  thread.statusText() = messages::kPrepareStart + object->local.name;
  thread.publishStatus();

  std::span<const TCommand> script;
  if (object->local.dbType == DbTypeMetering) {
    script = OriginalRep::MeteringPrepScript;
  } else if (object->local.dbType == DbTypeJournal) {
    script = JournalRep::JournalPrepScript;
  } else {
    thread.statusText() = unknownDbTypeMessage(object->local.dbType);
    return 1;
  }

  if (const std::int32_t result = SendCommand(thread, index, openDatabaseCommand(object->agent.remoteDbPath));
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
  return runToSeparator(
      thread, [&] { return prepareSteps(thread, index); }, [&] { thread.tcp().disconnect(); });
}

}  // namespace mirrox

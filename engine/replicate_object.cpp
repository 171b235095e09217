#include "engine/replicate_object.h"

#include <chrono>
#include <optional>
#include <string>

#include "engine/batch_apply.h"
#include "engine/engine_context.h"
#include "engine/engine_messages.h"
#include "engine/local_connection.h"
#include "engine/local_upgrade.h"
#include "engine/run_boundary.h"
#include "engine/upgrade_scripts.h"
#include "link/checksum.h"
#include "link/clock.h"
#include "link/date_time.h"
#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "link/result_file.h"
#include "link/send_command.h"
#include "link/tcp_client.h"

namespace mirrox {
namespace {

constexpr std::int32_t kFailed = 1;

void publish(EngineContext& thread, std::string text) {
  thread.statusText() = std::move(text);
  thread.publishStatus();
}

std::int32_t send(EngineContext& thread, int index, const TCommand& command) {
  return SendCommand(thread, index, command);
}

// Brings the rows of the last select into ResultFile.
std::int32_t fetch(EngineContext& thread, int index) {
  const std::optional<AgentSite> site = thread.agentSite(index);
  return send(thread, index, fetchResultCommand(site ? site->resultId : 0));
}

// A catalogue statement with "%s" replaced by the operator's text exactly as typed.
TCommand withDate(const TCommand& command, std::string_view dateText) {
  TCommand copy = command;
  const std::size_t at = copy.Param.find("%s");
  if (at != std::string::npos) copy.Param.replace(at, 2, dateText);
  return copy;
}

// Disconnects `DB`, names it after the object, opens and upgrades it, then opens the site database.
std::int32_t openBothEnds(EngineContext& thread, int index, const LocalSite& site, const AgentSite& agent) {
  Database& db = thread.localConnection().DB;
  db.disconnect();
  db.setDatabaseName("127.0.0.1:" + site.localDbPath);
  if (const std::int32_t result = OpenLocalDatabase(thread, index); result != 0) return result;
  return send(thread, index, openDatabaseCommand(agent.remoteDbPath));
}

// Closes the site database. Its result is ignored, and so is its reply's text: a failed batch's
// message must stay the run's message.
void closeSite(EngineContext& thread, int index) {
  const std::string kept = thread.statusText();
  send(thread, index, CmdCloseDatabase);
  thread.statusText() = kept;
}

// Address data: applied only when its checksum differs from the one last applied.
std::int32_t addressSteps(EngineContext& thread, int index, const LocalSite& site) {
  publish(thread, messages::kAddressStep);
  if (const std::int32_t result = send(thread, index, OriginalRep::CmdSelectAddress); result != 0)
    return result;
  if (const std::int32_t result = fetch(thread, index); result != 0) return result;
  const std::int32_t checksum = FileChecksum(resultFile(thread));
  if (checksum != site.addressChecksum) {
    if (ApplyResultFile(thread, index, BatchKind::BatchAddress)) return kFailed;
    thread.setAddressChecksum(index, checksum);
  }
  return 0;
}

// A step of captured rows: the status text it starts with, the commands that mark the captured
// rows at the site, select the marked ones and purge them, and the batch that applies them here.
struct CapturedRowsStep {
  const char* status;
  const TCommand& mark;
  const TCommand& select;
  const TCommand& purge;
  BatchKind kind;
};

const CapturedRowsStep kArchiveStep{messages::kArchiveStep, OriginalRep::CmdMarkArchive,
                                    OriginalRep::CmdSelectArchive, OriginalRep::CmdPurgeArchive,
                                    BatchKind::BatchArchive};
const CapturedRowsStep kRequestsStep{messages::kRequestsStep, JournalRep::CmdMarkRequests,
                                     JournalRep::CmdSelectRequests, JournalRep::CmdPurgeRequests,
                                     BatchKind::BatchRequests};
const CapturedRowsStep kEventsStep{messages::kEventsStep, JournalRep::CmdMarkEvents,
                                   JournalRep::CmdSelectEvents, JournalRep::CmdPurgeEvents,
                                   BatchKind::BatchEvents};

struct StepOutcome {
  std::int32_t sent = 0;     // SendCommand's code of a command that failed: the run ends with it
  bool batchFailed = false;  // the rows stay marked at the site and come again with the next run
};

// mark -> select -> fetch -> apply -> purge when applied.
StepOutcome runStep(EngineContext& thread, int index, const CapturedRowsStep& step) {
  publish(thread, step.status);
  for (const TCommand* command : {&step.mark, &step.select}) {
    if (const std::int32_t result = send(thread, index, *command); result != 0) return {result, false};
  }
  if (const std::int32_t result = fetch(thread, index); result != 0) return {result, false};
  // Marked rows are deleted at the site only once they are applied here; otherwise they come again.
  const bool batchFailed = ApplyResultFile(thread, index, step.kind);
  if (!batchFailed) send(thread, index, step.purge);
  return {0, batchFailed};
}

std::int32_t meteringSequence(EngineContext& thread, int index, const LocalSite& site) {
  if (const std::int32_t result = addressSteps(thread, index, site); result != 0) return result;

  publish(thread, messages::kCurrentValuesStep);
  if (const std::int32_t result = send(thread, index, OriginalRep::CmdSelectCurrentValues); result != 0)
    return result;
  if (const std::int32_t result = fetch(thread, index); result != 0) return result;
  if (ApplyResultFile(thread, index, BatchKind::BatchCurrentValues)) return kFailed;

  const StepOutcome archive = runStep(thread, index, kArchiveStep);
  if (archive.sent != 0) return archive.sent;
  closeSite(thread, index);
  return archive.batchFailed ? kFailed : 0;
}

std::int32_t journalSequence(EngineContext& thread, int index) {
  const StepOutcome requests = runStep(thread, index, kRequestsStep);
  if (requests.sent != 0) return requests.sent;
  // A failed request batch leaves the requests marked for the next run; the events go on, but the
  // run still fails with the batch's message: it must not count as done while requests wait.
  const std::string requestsMessage = requests.batchFailed ? thread.statusText() : std::string();

  const StepOutcome events = runStep(thread, index, kEventsStep);
  if (events.sent != 0) return events.sent;
  closeSite(thread, index);
  if (events.batchFailed) return kFailed;
  if (requests.batchFailed) {
    thread.statusText() = requestsMessage;
    return kFailed;
  }
  return 0;
}

std::int32_t runSteps(EngineContext& thread, int index) {
  const std::optional<RunObject> object = objectAt(thread, index);
  if (!object) return kFailed;
  const LocalSite& site = object->local;
  publish(thread, messages::kRunStart + std::to_string(index) + ". " + site.name);
  // An object of no known type would otherwise open its site and report success for nothing.
  if (schemaTarget(site.dbType) == nullptr) {
    thread.statusText() = unknownDbTypeMessage(site.dbType);
    return kFailed;
  }
  if (const std::int32_t result = openBothEnds(thread, index, site, object->agent); result != 0)
    return result;
  return site.dbType == DbTypeMetering ? meteringSequence(thread, index, site)
                                       : journalSequence(thread, index);
}

std::int32_t sinceDateSteps(EngineContext& thread, int index, std::string_view dateText) {
  const std::optional<RunObject> object = objectAt(thread, index);
  if (!object) return kFailed;
  const LocalSite& site = object->local;
  if (schemaTarget(site.dbType) == nullptr) {
    thread.statusText() = unknownDbTypeMessage(site.dbType);
    return kFailed;
  }
  if (const std::int32_t result = openBothEnds(thread, index, site, object->agent); result != 0)
    return result;

  BatchKind kind = BatchKind::BatchArchive;
  if (site.dbType == DbTypeMetering) {
    if (const std::int32_t result = addressSteps(thread, index, site); result != 0) return result;
    publish(thread, messages::kArchiveSinceStep);
    if (const std::int32_t result =
            send(thread, index, withDate(OriginalRep::CmdSelectArchiveSince, dateText));
        result != 0) {
      return result;
    }
  } else {
    kind = BatchKind::BatchRequests;
    publish(thread, messages::kRequestsStep);
    if (const std::int32_t result = send(thread, index, openDatabaseCommand(object->agent.remoteDbPath));
        result != 0) {
      return result;
    }
    if (const std::int32_t result =
            send(thread, index, withDate(JournalRep::CmdSelectRequestsSince, dateText));
        result != 0) {
      return result;
    }
  }
  if (const std::int32_t result = fetch(thread, index); result != 0) return result;
  send(thread, index, CmdCloseDatabase);
  return ApplyResultFile(thread, index, kind) ? kFailed : 0;
}

}  // namespace

std::int32_t ReplicateObject(EngineContext& thread, int index) {
  return runToSeparator(
      thread, [&] { return runSteps(thread, index); },
      [&] {
        thread.tcp().disconnect();
        thread.clock().sleepFor(std::chrono::milliseconds(kRunEndWaitMs));
      });
}

bool sinceDateAccepted(std::string_view text) {
  const std::optional<DateTime> date = parseRussianDate(text);
  return date && *date >= encodeDateTime({2000, 1, 18, 0, 0, 0, 0});
}

std::int32_t ReplicateSinceDate(EngineContext& thread, int index, std::string_view dateText) {
  if (!sinceDateAccepted(dateText)) return kSinceDateRefused;
  const std::int32_t result = runToSeparator(thread, [&] { return sinceDateSteps(thread, index, dateText); });
  thread.tcp().disconnect();
  thread.localConnection().DB.disconnect();
  return result;
}

}  // namespace mirrox

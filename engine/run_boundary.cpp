#include "engine/run_boundary.h"

#include <exception>

#include "engine/engine_messages.h"
#include "link/link_fault.h"

namespace mirrox {

std::optional<RunObject> objectAt(EngineContext& thread, int index) {
  std::optional<LocalSite> local = thread.localSite(index);
  std::optional<AgentSite> agent = thread.agentSite(index);
  if (!local || !agent) {
    thread.statusText() = noObjectMessage(index);
    return std::nullopt;
  }
  return RunObject{std::move(*local), std::move(*agent)};
}

std::string unknownDbTypeMessage(std::int32_t dbType) {
  return std::string(messages::kUnknownDbType) + std::to_string(dbType);
}

std::int32_t runToSeparator(EngineContext& thread, const std::function<std::int32_t()>& steps,
                            const std::function<void()>& beforeSeparator) {
  std::int32_t result = 1;
  try {
    result = steps();
  } catch (const std::exception& error) {
    thread.statusText() = error.what();
    result = 1;
  }
  if (beforeSeparator) beforeSeparator();
  if (result != 0) {
    thread.statusText() += messages::kSeparator;
  } else {
    thread.statusText() = messages::kSeparator;
  }
  thread.publishStatus();
  return result;
}

}  // namespace mirrox

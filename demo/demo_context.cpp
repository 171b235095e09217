#include "demo/demo_context.h"

#include "shell/object_registry.h"

namespace mirrox::demo {

DemoContext::DemoContext(ObjectRegistry& objects, std::filesystem::path workDir, Sink sink, Clock* clock,
                         LinkLimits limits)
    : objects_(objects), workDir_(std::move(workDir)), sink_(std::move(sink)), tcp_(limits), clock_(clock) {}

void DemoContext::publishStatus() {
  if (sink_) sink_(statusText_);
}

bool DemoContext::has(int index) const { return index >= 0 && index < objects_.count(); }

std::optional<AgentSite> DemoContext::agentSite(int index) const {
  if (!has(index)) return std::nullopt;
  const TMyPic& object = objects_.at(index);
  return AgentSite{object.Host(), object.Port(), object.RemoteDbPath, object.ResultId};
}

void DemoContext::setResultId(int index, std::int32_t resultId) {
  if (has(index)) objects_.at(index).ResultId = resultId;
}

std::optional<LocalSite> DemoContext::localSite(int index) const {
  if (!has(index)) return std::nullopt;
  const TMyPic& object = objects_.at(index);
  return LocalSite{object.Name, object.DbType, object.LocalDbPath, object.AddressChecksum,
                   object.LocalSchemaVersion};
}

void DemoContext::setAddressChecksum(int index, std::int32_t checksum) {
  if (has(index)) objects_.at(index).AddressChecksum = checksum;
}

void DemoContext::setLocalSchemaVersion(int index, std::int32_t version) {
  if (has(index)) objects_.at(index).LocalSchemaVersion = version;
}

}  // namespace mirrox::demo

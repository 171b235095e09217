#include "shell/registry_engine_context.h"

#include "shell/object_registry.h"

namespace mirrox {

std::optional<AgentSite> RegistryEngineContext::agentSite(int index) const {
  if (index < 0 || index >= registry_.count()) return std::nullopt;
  const TMyPic& object = registry_.at(index);
  return AgentSite{object.Host(), object.Port(), object.RemoteDbPath, object.ResultId};
}

std::optional<LocalSite> RegistryEngineContext::localSite(int index) const {
  if (index < 0 || index >= registry_.count()) return std::nullopt;
  const TMyPic& object = registry_.at(index);
  return LocalSite{object.Name, object.DbType, object.LocalDbPath, object.AddressChecksum,
                   object.LocalSchemaVersion};
}

void RegistryEngineContext::setResultId(int index, std::int32_t resultId) {
  registry_.at(index).ResultId = resultId;
}

void RegistryEngineContext::setAddressChecksum(int index, std::int32_t checksum) {
  registry_.at(index).AddressChecksum = checksum;
}

void RegistryEngineContext::setLocalSchemaVersion(int index, std::int32_t version) {
  registry_.at(index).LocalSchemaVersion = version;
}

}  // namespace mirrox

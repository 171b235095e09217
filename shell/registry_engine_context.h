#pragma once

#include <cstdint>
#include <optional>

#include "engine/engine_context.h"

namespace mirrox {

class ObjectRegistry;

// The part of an engine context that every context running over an object registry shares: a
// position is the object's index in the registry, what the engine reads of an object is taken
// from its TMyPic, and what a run finds out goes back into it.
class RegistryEngineContext : public EngineContext {
 public:
  // `registry` must outlive the context.
  explicit RegistryEngineContext(ObjectRegistry& registry) : registry_(registry) {}

  std::optional<AgentSite> agentSite(int index) const override;
  std::optional<LocalSite> localSite(int index) const override;
  // For an object of the registry only: an index without one throws std::out_of_range.
  void setResultId(int index, std::int32_t resultId) override;
  void setAddressChecksum(int index, std::int32_t checksum) override;
  void setLocalSchemaVersion(int index, std::int32_t version) override;

  ObjectRegistry& registry() const { return registry_; }

 private:
  ObjectRegistry& registry_;
};

}  // namespace mirrox

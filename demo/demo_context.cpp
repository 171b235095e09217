#include "demo/demo_context.h"

namespace mirrox::demo {

DemoContext::DemoContext(ObjectRegistry& objects, std::filesystem::path workDir, Sink sink, Clock* clock,
                         LinkLimits limits)
    : RegistryEngineContext(objects),
      workDir_(std::move(workDir)),
      sink_(std::move(sink)),
      tcp_(limits),
      clock_(clock) {}

void DemoContext::publishStatus() {
  if (sink_) sink_(statusText_);
}

}  // namespace mirrox::demo

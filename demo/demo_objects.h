#pragma once

#include <filesystem>
#include <string>

#include "link/clock.h"
#include "shell/object_registry.h"

namespace mirrox::demo {

// The object list of one installation's settings file, read by the program's own loader so that
// the tool sees exactly what `mirrox` will replicate.
class DemoObjects final : private RegistryObserver {
 public:
  // Reads `settingsPath` ("mirrox.ini"); a missing file gives an empty list.
  explicit DemoObjects(const std::filesystem::path& settingsPath);
  DemoObjects(const DemoObjects&) = delete;
  DemoObjects& operator=(const DemoObjects&) = delete;

  ObjectRegistry& registry() { return registry_; }
  const ObjectRegistry& registry() const { return registry_; }
  int periodMinutes() const { return periodMinutes_; }

 private:
  void objectChanged(int) override {}
  void scheduleLoaded(int periodMinutes, bool) override { periodMinutes_ = periodMinutes; }
  void logLine(const std::string&) override {}
  void objectAdded(int) override {}

  SystemClock clock_;
  int periodMinutes_ = 0;
  ObjectRegistry registry_;
};

}  // namespace mirrox::demo

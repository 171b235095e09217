#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "link/clock.h"
#include "shell/object_registry.h"

namespace mirrox::demo {

// The object list of one installation's settings file, read by the program's own loader so that
// the tool sees exactly what `mirrox` will replicate. The lines the loader would log are kept.
class DemoObjects final : private RegistryObserver {
 public:
  // Reads `settingsPath` ("mirrox.ini"); a missing file gives an empty list.
  explicit DemoObjects(const std::filesystem::path& settingsPath);
  DemoObjects(const DemoObjects&) = delete;
  DemoObjects& operator=(const DemoObjects&) = delete;

  ObjectRegistry& registry() { return registry_; }
  const ObjectRegistry& registry() const { return registry_; }
  int periodMinutes() const { return periodMinutes_; }
  const std::vector<std::string>& loadLines() const { return loadLines_; }

 private:
  void objectChanged(int) override {}
  void scheduleLoaded(int periodMinutes, bool) override { periodMinutes_ = periodMinutes; }
  void logLine(const std::string& text) override { loadLines_.push_back(text); }
  void objectAdded(int) override {}

  SystemClock clock_;
  int periodMinutes_ = 0;
  std::vector<std::string> loadLines_;
  ObjectRegistry registry_;
};

}  // namespace mirrox::demo

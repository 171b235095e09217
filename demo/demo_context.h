#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "engine/local_connection.h"
#include "link/clock.h"
#include "link/tcp_client.h"
#include "shell/registry_engine_context.h"

namespace mirrox::demo {

// The engine's context for the demo tool: the objects of a loaded settings file, a private agent
// connection and local connection, the wall clock, and every published status handed to `sink`
// (UTF-8, one call per publication). Used on one thread; nothing is written back to the settings
// file, which belongs to `mirrox`.
class DemoContext final : public RegistryEngineContext {
 public:
  using Sink = std::function<void(const std::string&)>;

  // `clock` (the wall clock when null) must outlive the context.
  DemoContext(ObjectRegistry& objects, std::filesystem::path workDir, Sink sink, Clock* clock = nullptr,
              LinkLimits limits = {});

  std::string& statusText() override { return statusText_; }
  void publishStatus() override;
  bool stopRequested() const override { return false; }
  TcpClient& tcp() override { return tcp_; }
  std::filesystem::path logDir() const override { return workDir_; }

  LocalConnection& localConnection() override { return local_; }
  Clock& clock() override { return clock_ != nullptr ? *clock_ : systemClock_; }
  std::filesystem::path rowErrorDirectory() const override { return workDir_; }

 private:
  std::filesystem::path workDir_;
  Sink sink_;
  std::string statusText_;
  TcpClient tcp_;
  SystemClock systemClock_;
  Clock* clock_;
  LocalConnection local_;
};

}  // namespace mirrox::demo

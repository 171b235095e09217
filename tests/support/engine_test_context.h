#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "engine/local_connection.h"
#include "link/tcp_client.h"
#include "tests/support/manual_clock.h"

namespace mirrox::testing_support {

// One object as the engine and the link see it.
struct TestObject {
  AgentSite agent;
  LocalSite local;
};

// A run context for engine tests: its own local connection, agent connection, manual clock, row
// error directory and log directory, a list of objects, every published status text in order, and
// the progress listener a test sets (none by default).
class EngineTestContext : public EngineContext {
 public:
  explicit EngineTestContext(std::filesystem::path dir, LinkLimits limits = shortLimits())
      : tcp_(limits), dir_(std::move(dir)) {}

  static LinkLimits shortLimits() {
    LinkLimits limits;
    limits.readTimeout = std::chrono::milliseconds(5000);
    return limits;
  }

  std::string& statusText() override { return statusText_; }
  void publishStatus() override {
    published.push_back(statusText_);
    if (onPublish) onPublish(statusText_);
  }
  bool stopRequested() const override { return false; }
  std::optional<AgentSite> agentSite(int index) const override {
    if (!has(index)) return std::nullopt;
    return objects[static_cast<std::size_t>(index)].agent;
  }
  void setResultId(int index, std::int32_t resultId) override { at(index).agent.resultId = resultId; }
  TcpClient& tcp() override { return tcp_; }
  std::filesystem::path logDir() const override { return dir_; }
  ProgressListener* progressListener() override { return listener; }

  LocalConnection& localConnection() override { return local_; }
  Clock& clock() override { return manualClock; }
  std::optional<LocalSite> localSite(int index) const override {
    if (!has(index)) return std::nullopt;
    return objects[static_cast<std::size_t>(index)].local;
  }
  void setAddressChecksum(int index, std::int32_t checksum) override {
    at(index).local.addressChecksum = checksum;
  }
  void setLocalSchemaVersion(int index, std::int32_t version) override {
    at(index).local.localSchemaVersion = version;
  }
  std::filesystem::path rowErrorDirectory() const override { return dir_; }

  TestObject& at(int index) { return objects.at(static_cast<std::size_t>(index)); }
  std::string lastPublished() const { return published.empty() ? std::string() : published.back(); }

  std::vector<TestObject> objects;
  std::vector<std::string> published;
  // Called on the run's thread with every published text, after it is recorded: a test acts at a
  // chosen step of a run through it.
  std::function<void(const std::string&)> onPublish;
  ManualClock manualClock{45000.0};
  ProgressListener* listener = nullptr;

 private:
  bool has(int index) const { return index >= 0 && static_cast<std::size_t>(index) < objects.size(); }

  std::string statusText_;
  TcpClient tcp_;
  std::filesystem::path dir_;
  LocalConnection local_;
};

}  // namespace mirrox::testing_support

#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/run_context.h"
#include "link/tcp_client.h"
#include "tests/support/manual_clock.h"

namespace mirrox::testing_support {

// A run context for tests: a list of objects, its own agent connection with the given limits, a
// log directory, every published status text in order, a manual clock, and the progress listener
// a test sets (none by default).
class TestContext final : public RunContext {
 public:
  // A null stream means a real socket.
  TestContext(std::filesystem::path logDir, LinkLimits limits, std::unique_ptr<ByteStream> stream = nullptr)
      : tcp_(limits, std::move(stream)), logDir_(std::move(logDir)) {}

  std::string& statusText() override { return statusText_; }
  void publishStatus() override { published.push_back(statusText_); }
  bool stopRequested() const override { return stop; }
  std::optional<AgentSite> agentSite(int index) const override {
    if (index < 0 || static_cast<std::size_t>(index) >= sites.size()) return std::nullopt;
    return sites[static_cast<std::size_t>(index)];
  }
  void setResultId(int index, std::int32_t resultId) override {
    sites.at(static_cast<std::size_t>(index)).resultId = resultId;
  }
  TcpClient& tcp() override { return tcp_; }
  std::filesystem::path logDir() const override { return logDir_; }
  Clock& clock() override { return manualClock; }
  ProgressListener* progressListener() override { return listener; }

  std::vector<AgentSite> sites;
  std::vector<std::string> published;
  std::atomic<bool> stop = false;
  ManualClock manualClock{45000.0};
  ProgressListener* listener = nullptr;

 private:
  std::string statusText_;
  TcpClient tcp_;
  std::filesystem::path logDir_;
};

}  // namespace mirrox::testing_support

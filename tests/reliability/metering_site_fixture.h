#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/local_connection.h"
#include "tests/support/agent_process.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox::reliability {

// A metering site written from the template, prepared for capture and served by a real
// mirrox-agent, one channel with its address data, a local database from the template, and the
// engine's run context between them. The run context keeps its result files and its row error file
// in a directory of their own (logDirectory()), so a test can spoil them.
class MeteringSiteFixture : public ::testing::Test {
 public:
  // The object sits past the first position, so its ids arrive region-qualified.
  static constexpr int kIndex = 2;
  // The channel's id at the site and, region-qualified, in the local database.
  static constexpr int kSiteChannel = 17;
  static constexpr int kLocalChannel = 200017;

  // `limits` are the link's limits for the runs; by default the program's own.
  explicit MeteringSiteFixture(LinkLimits limits = LinkLimits{}) : context_(dir_.path() / "log", limits) {}

 protected:
  void SetUp() override;

  // Starts a new agent with a directory and a log of its own and `options` beside the login; the
  // object's port follows it. The previous agent, if any, is stopped first.
  void startAgent(const std::vector<std::string>& options = {});
  // Archive rows at the site, `count` of them one minute apart from minute `first` of 1.1.2024;
  // the site's capture trigger records each one for replication.
  void addArchive(int first, int count) const;
  // One run of the object; the local connection is closed afterwards, as a new run would find it.
  std::int32_t run();

  // Archive rows captured at the site and not yet purged.
  std::int64_t captured() const;
  // Archive rows of the channel in the local database, and how many of them are distinct.
  std::int64_t applied() const;
  std::int64_t appliedDistinct() const;
  // Waits until the site server has let go of every other attachment to the site database (a
  // killed agent's stays, holding the rows its transaction marked, until the server notices it is
  // gone). False when one is still there after `limit`.
  bool siteAttachmentsGone(std::chrono::seconds limit) const;

  // Everything the run published, one text a line, for failure messages.
  std::string publishedTexts() const;

  std::filesystem::path logDirectory() const { return dir_.path() / "log"; }
  std::filesystem::path agentLog() const { return agentDirectory_ / "agent.err"; }
  testing_support::AgentProcess& agent() { return *agent_; }

  testing_support::TempDir dir_;
  testing_support::EngineTestContext context_;
  std::optional<testing_support::ScratchDatabase> site_;
  std::optional<testing_support::ScratchDatabase> local_;

 private:
  std::unique_ptr<testing_support::AgentProcess> agent_;
  std::filesystem::path agentDirectory_;
  int agentsStarted_ = 0;
};

// The address data a metering test site starts with: a street, a house, a concentrator and the
// channel kSiteChannel.
void addMeteringChannel(const testing_support::ScratchDatabase& site);
// Archive rows of that channel, `count` of them one minute apart from minute `first` of 1.1.2024;
// the site's capture trigger records each one for replication.
void addArchiveRows(const testing_support::ScratchDatabase& site, int first, int count);
// Opens `writer` on the site and leaves `update` executed in an open transaction: the rows it
// touched stay locked until the writer commits or rolls back.
void holdUncommittedUpdate(LocalConnection& writer, const testing_support::ScratchDatabase& site,
                           const std::string& update);
// True once the site's server shows the statement `mark` running and waiting for a row lock.
bool markWaitsForLock(const testing_support::ScratchDatabase& site, const std::string& mark);

}  // namespace mirrox::reliability

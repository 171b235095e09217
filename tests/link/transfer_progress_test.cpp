// The progress a fetch reports while a result file arrives and is inflated: what the console's bar
// shows. The run's clock is driven, so the pace of the reports is under the test's control.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "link/original_rep.h"
#include "link/progress.h"
#include "link/protocol.h"
#include "link/send_command.h"
#include "tests/support/fake_agent.h"
#include "tests/support/progress_recorder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_context.h"
#include "tests/support/zlib_stream.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeAgent;
using testing_support::ProgressRecorder;
using testing_support::Script;
using testing_support::TempDir;
using testing_support::TestContext;
using testing_support::zlibCompress;

// Content whose stored (level 0) zlib stream is exactly `size` bytes: header 2, block header 5, the
// bytes, Adler-32 4. REQUIRES: 11 <= size <= 65546 (one stored block).
std::string contentForPayloadOf(std::size_t size) {
  std::string content;
  for (std::size_t i = 0; content.size() < size - 11; ++i) content += static_cast<char>('a' + i % 26);
  return content;
}

// Rows as an agent writes them; they compress well, so the inflated file is many times the payload.
std::string rows(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += std::to_string(17 + i % 40) + "\t1\t" + std::to_string(i % 1000) +
            ".5\t12.05.2024 10:" + std::to_string(10 + i % 50) + ":00\r\n";
  }
  return text;
}

class TransferProgressTest : public ::testing::Test {
 protected:
  TransferProgressTest() {
    LinkLimits limits;
    limits.readTimeout = 10s;
    context_ = std::make_unique<TestContext>(dir_.path(), limits);
    context_->listener = &recorder_;
  }
  std::int32_t fetch(const FakeAgent& agent) {
    context_->sites.push_back(AgentSite{agent.host(), agent.port(), "/site.fdb", 17});
    return SendCommand(*context_, 0, fetchResultCommand(17));
  }
  // The events of one step: its reports, and whether an end followed them before the next step.
  bool endedAfterItsReports(ProgressStep step) const {
    bool seen = false;
    for (const auto& event : recorder_.events) {
      if (!event.ended && event.progress.step == step) seen = true;
      if (event.ended && seen) return true;
      if (!event.ended && event.progress.step != step && seen) return false;
    }
    return false;
  }

  TempDir dir_;
  ProgressRecorder recorder_;
  std::unique_ptr<TestContext> context_;
};

class ReceivedLength : public TransferProgressTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ReceivedLength, SizesRiseAndReachTheBlocksLengthExactlyOnceAtTheEnd) {
  const std::size_t length = GetParam();
  const std::string payload = zlibCompress(contentForPayloadOf(length), 0);
  ASSERT_EQ(payload.size(), length);
  // Every look at the clock finds a report due, so every piece received could be reported.
  context_->manualClock.advanceOnEveryReading(300ms);
  FakeAgent agent({Script().reply("Ok").fileBlock(payload)});
  ASSERT_EQ(fetch(agent), kSendOk) << context_->statusText();

  const std::vector<Progress> received = recorder_.reports(ProgressStep::Receiving);
  ASSERT_FALSE(received.empty());
  // One report for each whole piece short of the length, then the length itself.
  EXPECT_EQ(received.size(), (length - 1) / 1024 + 1);
  for (std::size_t i = 0; i < received.size(); ++i) {
    EXPECT_EQ(received[i].total, length);
    EXPECT_EQ(received[i].count, received[i].done);
    if (i + 1 < received.size()) {
      EXPECT_EQ(received[i].done, (i + 1) * 1024);
      EXPECT_LT(received[i].done, length);
    }
  }
  EXPECT_EQ(received.back().done, length);
  EXPECT_TRUE(endedAfterItsReports(ProgressStep::Receiving));
  // The inflate's own reports come after the transfer's end and finish with the whole payload read.
  const std::vector<Progress> inflated = recorder_.reports(ProgressStep::Inflating);
  ASSERT_FALSE(inflated.empty());
  EXPECT_EQ(inflated.back().count, length - 11);
  EXPECT_EQ(inflated.back().done, length);
  EXPECT_EQ(inflated.back().total, length);
  EXPECT_EQ(recorder_.ends(), 2);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ReceivedLength, ::testing::Values(12u, 1023u, 1024u, 1500u, 2048u, 40000u));

TEST_F(TransferProgressTest, LengthOfZeroIsReportedOnceAsComplete) {
  context_->manualClock.advanceOnEveryReading(300ms);
  FakeAgent agent({Script().reply("Ok").fileBlock("")});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  const std::vector<Progress> received = recorder_.reports(ProgressStep::Receiving);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].done, 0u);
  EXPECT_EQ(received[0].total, 0u);
  // The empty payload fails to inflate before it inflated anything: its step reports nothing.
  EXPECT_TRUE(recorder_.reports(ProgressStep::Inflating).empty());
  EXPECT_EQ(recorder_.ends(), 1);
  EXPECT_TRUE(recorder_.events.back().ended);
}

TEST_F(TransferProgressTest, TransferCutOffEndsItsReportsShortOfTheLength) {
  context_->manualClock.advanceOnEveryReading(300ms);
  const std::string payload = zlibCompress(rows(3000), 0);
  FakeAgent agent(
      {Script()
           .reply("Ok")
           .send(encodeBlockLength(static_cast<std::int32_t>(payload.size())) + payload.substr(0, 5000))
           .reset()});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  const std::vector<Progress> received = recorder_.reports(ProgressStep::Receiving);
  ASSERT_FALSE(received.empty());
  for (const Progress& report : received) EXPECT_LT(report.done, payload.size());
  EXPECT_EQ(recorder_.ends(), 1);
  EXPECT_TRUE(recorder_.events.back().ended);
}

TEST_F(TransferProgressTest, InflatingReportsTheBytesInflatedAndTheShareOfThePayloadRead) {
  context_->manualClock.advanceOnEveryReading(300ms);
  const std::string content = rows(40000);  // compresses well: many output buffers per input block
  const std::string payload = zlibCompress(content, 9);
  FakeAgent agent({Script().reply("Ok").fileBlock(payload)});
  ASSERT_EQ(fetch(agent), kSendOk) << context_->statusText();
  const std::vector<Progress> inflated = recorder_.reports(ProgressStep::Inflating);
  ASSERT_GT(inflated.size(), 2u);
  for (std::size_t i = 1; i < inflated.size(); ++i) {
    EXPECT_GE(inflated[i].count, inflated[i - 1].count);
    EXPECT_GE(inflated[i].done, inflated[i - 1].done);
    EXPECT_EQ(inflated[i].total, payload.size());
  }
  EXPECT_LT(inflated[inflated.size() - 2].count, content.size());
  EXPECT_EQ(inflated.back().count, content.size());
  EXPECT_EQ(inflated.back().done, payload.size());
  EXPECT_TRUE(endedAfterItsReports(ProgressStep::Inflating));
}

TEST_F(TransferProgressTest, ReportsComeAtMostFourTimesASecondOfTheRunsClock) {
  // The clock moves 100 ms at every look: a report per piece would be 100 ms apart.
  context_->manualClock.advanceOnEveryReading(100ms);
  const std::string payload = zlibCompress(contentForPayloadOf(60000), 0);
  FakeAgent agent({Script().reply("Ok").fileBlock(payload)});
  ASSERT_EQ(fetch(agent), kSendOk) << context_->statusText();
  const std::vector<Progress> received = recorder_.reports(ProgressStep::Receiving);
  ASSERT_GT(received.size(), 3u);
  EXPECT_LT(received.size(), payload.size() / 1024 / 2);
  // Apart from the end, which is always told, reports are at least the interval apart.
  for (std::size_t i = 1; i + 1 < received.size(); ++i) {
    EXPECT_GE(received[i].elapsed - received[i - 1].elapsed, ProgressMeter::kInterval);
  }
}

TEST_F(TransferProgressTest, StillClockGivesOnlyTheFiguresAtEachStepsEnd) {
  const std::string payload = zlibCompress(rows(20000), 6);
  FakeAgent agent({Script().reply("Ok").fileBlock(payload)});
  ASSERT_EQ(fetch(agent), kSendOk) << context_->statusText();
  ASSERT_EQ(recorder_.reports(ProgressStep::Receiving).size(), 1u);
  EXPECT_EQ(recorder_.reports(ProgressStep::Receiving)[0].done, payload.size());
  EXPECT_EQ(recorder_.reports(ProgressStep::Receiving)[0].elapsed, 0ms);
  EXPECT_EQ(recorder_.reports(ProgressStep::Inflating).size(), 1u);
}

TEST_F(TransferProgressTest, NobodyListeningCostsTheFetchNoLookAtTheClock) {
  context_->listener = nullptr;
  const std::string payload = zlibCompress(rows(20000), 6);
  FakeAgent agent({Script().reply("Ok").fileBlock(payload)});
  ASSERT_EQ(fetch(agent), kSendOk) << context_->statusText();
  EXPECT_EQ(context_->manualClock.readings(), 0);
  EXPECT_TRUE(recorder_.events.empty());
}

}  // namespace
}  // namespace mirrox

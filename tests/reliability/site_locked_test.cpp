// Another writer at the site holds an uncommitted update of the captured rows when the run marks
// them. The run must fail with the site's message, the rows must stay captured, and the next run
// must apply each of them exactly once.
#include <chrono>
#include <thread>

#include "engine/local_connection.h"
#include "link/original_rep.h"
#include "link/send_command.h"
#include "tests/reliability/metering_site_fixture.h"

namespace mirrox::reliability {
namespace {

constexpr int kArchiveRows = 50;
// What the other writer runs: it changes nothing, but locks every captured row.
constexpr char kHoldCapturedRows[] = "update REP_RASHOD2004 set STATUS = STATUS";

using SiteLocked = MeteringSiteFixture;

TEST_F(SiteLocked, ByAWriterThatCommitsFirstTheMarkFailsAndTheNextRunAppliesEveryRowOnce) {
  addArchive(0, kArchiveRows);
  LocalConnection writer;
  holdUncommittedUpdate(writer, *site_, kHoldCapturedRows);

  std::int32_t result = -1;
  std::thread runner([&] { result = run(); });
  // The lock wait ends after 20 seconds on its own; the writer's commit ends it at once, with an
  // update conflict for the mark.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  bool waiting = false;
  while (!waiting && std::chrono::steady_clock::now() < limit) {
    waiting = markWaitsForLock(*site_, OriginalRep::CmdMarkArchive.Param);
    if (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  writer.TR.commit();
  runner.join();
  ASSERT_TRUE(waiting) << publishedTexts();

  EXPECT_EQ(result, kSendFailed) << publishedTexts();
  EXPECT_NE(context_.lastPublished().find("update conflicts with concurrent update"), std::string::npos)
      << publishedTexts();
  EXPECT_EQ(captured(), kArchiveRows);
  EXPECT_EQ(applied(), 0);

  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_EQ(captured(), 0);
  EXPECT_EQ(applied(), kArchiveRows);
  EXPECT_EQ(appliedDistinct(), kArchiveRows);
  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_EQ(applied(), kArchiveRows);
}

// The writer that never lets go: the mark gives up after the agent's lock timeout, here the
// shortest one of a second instead of the 20 seconds a site runs with.
TEST_F(SiteLocked, ByAWriterThatHoldsOnTheMarkTimesOutAndTheNextRunAppliesEveryRowOnce) {
  startAgent({"--lock-timeout", "1"});
  addArchive(0, kArchiveRows);
  {
    LocalConnection writer;
    holdUncommittedUpdate(writer, *site_, kHoldCapturedRows);

    EXPECT_EQ(run(), kSendFailed) << publishedTexts();
    EXPECT_NE(context_.lastPublished().find("update conflicts with concurrent update"), std::string::npos)
        << publishedTexts();
    EXPECT_EQ(captured(), kArchiveRows);
    EXPECT_EQ(applied(), 0);
    writer.TR.rollback();
  }

  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_EQ(captured(), 0);
  EXPECT_EQ(applied(), kArchiveRows);
  EXPECT_EQ(appliedDistinct(), kArchiveRows);
}

}  // namespace
}  // namespace mirrox::reliability

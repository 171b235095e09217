// A mark or a purge at the site that takes longer than the program waits for its reply. The run
// fails as any broken exchange does, but the agent still commits the statement once it has run, so
// the next run builds on it instead of starting over: it applies every row once, purges them and
// leaves nothing captured. (A statement undone whenever its client gave up would never get done at
// a site that is always that slow.)
#include <chrono>
#include <thread>

#include "engine/local_connection.h"
#include "link/original_rep.h"
#include "link/send_command.h"
#include "tests/reliability/metering_site_fixture.h"

namespace mirrox::reliability {
namespace {

constexpr int kArchiveRows = 50;
// What another writer at the site runs: it changes nothing but locks every captured row, so the
// agent's mark or purge waits for it.
constexpr char kHoldCapturedRows[] = "update REP_RASHOD2004 set STATUS = STATUS";
constexpr char kLeftButCommitted[] = "left before the statement ended; committed";

LinkLimits shortReplyLimit() {
  LinkLimits limits;
  limits.readTimeout = std::chrono::milliseconds(1000);
  return limits;
}

class ReplyLimit : public MeteringSiteFixture {
 protected:
  ReplyLimit() : MeteringSiteFixture(shortReplyLimit()) {}

  std::int64_t marked() const {
    return site_->scalar("select count(*) from REP_RASHOD2004 where STATUS = 1");
  }
};

TEST_F(ReplyLimit, MarkThatOutlastsItIsCommittedAndTheNextRunAppliesEveryRowOnce) {
  addArchive(0, kArchiveRows);
  LocalConnection writer;
  holdUncommittedUpdate(writer, *site_, kHoldCapturedRows);

  EXPECT_EQ(run(), kSendBroken) << publishedTexts();
  EXPECT_NE(context_.lastPublished().find(OriginalRep::CmdMarkArchive.Cmd), std::string::npos)
      << publishedTexts();
  EXPECT_EQ(applied(), 0);
  // The writer gives way after the program has given up; the agent's mark then runs to its end.
  writer.TR.rollback();
  ASSERT_TRUE(testing_support::waitForText(agentLog(), kLeftButCommitted, std::chrono::seconds(30)));
  EXPECT_EQ(marked(), kArchiveRows);

  // Rows captured meanwhile come with the next run's mark.
  addArchive(kArchiveRows, 10);
  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_EQ(captured(), 0);
  EXPECT_EQ(applied(), kArchiveRows + 10);
  EXPECT_EQ(appliedDistinct(), kArchiveRows + 10);
  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_EQ(applied(), kArchiveRows + 10);
}

TEST_F(ReplyLimit, PurgeThatOutlastsItIsCommittedAndNothingComesASecondTime) {
  addArchive(0, kArchiveRows);
  LocalConnection writer;
  // The mark is done by the time the file arrives: the other writer takes the marked rows then,
  // so that only the purge has to wait for it.
  bool archiveStep = false;
  context_.onPublish = [&](const std::string& text) {
    if (text == "Архивы ...") archiveStep = true;
    if (archiveStep && text.rfind("Декомпрессия", 0) == 0 && !writer.DB.connected()) {
      holdUncommittedUpdate(writer, *site_, kHoldCapturedRows);
    }
  };
  // The purge's own result does not count: the rows were applied, so the run succeeds.
  EXPECT_EQ(run(), 0) << publishedTexts();
  context_.onPublish = nullptr;
  ASSERT_TRUE(writer.DB.connected()) << publishedTexts();
  EXPECT_TRUE(
      testing_support::waitForText(agentLog(), OriginalRep::CmdPurgeArchive.Cmd, std::chrono::seconds(1)));
  EXPECT_EQ(applied(), kArchiveRows);
  EXPECT_EQ(captured(), kArchiveRows);

  writer.TR.rollback();
  ASSERT_TRUE(testing_support::waitForText(agentLog(), kLeftButCommitted, std::chrono::seconds(30)));
  EXPECT_EQ(captured(), 0);

  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_EQ(captured(), 0);
  EXPECT_EQ(applied(), kArchiveRows);
  EXPECT_EQ(appliedDistinct(), kArchiveRows);
}

}  // namespace
}  // namespace mirrox::reliability

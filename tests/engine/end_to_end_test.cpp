// A real mirrox-agent in front of site databases written from the templates, the real local server,
// and the engine's run between them.
#include <gtest/gtest.h>

#include <memory>

#include "engine/database.h"
#include "engine/engine_messages.h"
#include "engine/local_upgrade.h"
#include "engine/prepare_remote.h"
#include "engine/replicate_object.h"
#include "engine/upgrade_scripts.h"
#include "tests/support/agent_process.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::EngineTestContext;
using testing_support::ScratchDatabase;
using testing_support::TempDir;

using Rows = std::vector<std::vector<InputValue>>;

// The object under test sits at position 3, so its ids arrive region-qualified.
constexpr int kIndex = 3;

class EndToEnd : public ::testing::Test {
 protected:
  void start(std::int32_t dbType) {
    testing_support::openToServer(dir_.path());
    std::filesystem::create_directory(dir_.path() / "site");
    std::filesystem::create_directory(dir_.path() / "local");
    site_.emplace(ScratchDatabase::fromTemplate(dir_.path() / "site", "site.fdb", dbType));
    local_.emplace(ScratchDatabase::fromTemplate(dir_.path() / "local", "local.fdb", dbType));
    agent_ = std::make_unique<testing_support::AgentProcess>(
        dir_.path(), std::vector<std::string>{"--password", Database::kPassword});
    for (int i = 0; i <= kIndex; ++i) {
      context_.objects.push_back({{"127.0.0.1", agent_->port(), site_->path().string(), 0},
                                  {"Site " + std::to_string(i), dbType, local_->path().string(), 0, 0}});
    }
    ASSERT_EQ(PrepareRemoteDatabase(context_, kIndex), 0) << context_.lastPublished();
  }

  std::int32_t run() {
    const std::int32_t result = ReplicateObject(context_, kIndex);
    context_.localConnection().DB.disconnect();
    return result;
  }

  TempDir dir_;
  EngineTestContext context_{dir_.path()};
  std::optional<ScratchDatabase> site_;
  std::optional<ScratchDatabase> local_;
  std::unique_ptr<testing_support::AgentProcess> agent_;
};

TEST_F(EndToEnd, MeteringSiteReplicatesWithRegionQualifiedIdsAndNothingTwice) {
  start(DbTypeMetering);
  site_->exec("insert into STREET values (1, 'Lenina', 2, 0, 0, 0)");
  site_->exec(
      "insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (2, 1, '12', '', '')");
  site_->exec(
      "insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID, IP_ADDRESS, IP_PORT, RS_NUM) "
      "values (5, 1, 2, '10.0.0.5', 4001, 3)");
  site_->exec(
      "insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, "
      "WINP) "
      "values (17, 5, 1, 1, 555, 2, 0, 0, 'w')");
  site_->exec(
      "insert into LASTRHV (CHANNEL_ID, PARAM, R_VALUE, REC_DATE) values (17, 1, 10.5, '2024-02-01 "
      "10:00:00')");
  site_->exec("insert into RASHOD2004 values (17, 1, '2024-02-01 01:00:00', 1.5)");
  site_->exec("insert into RASHOD2004 values (17, 1, '2024-02-01 02:00:00', 2.5)");

  ASSERT_EQ(run(), 0) << context_.lastPublished();
  EXPECT_EQ(context_.lastPublished(), "\r\n-------");
  EXPECT_EQ(local_->rows("select ID_STREET, NAME from STREET where ID_STREET = 300001"),
            (Rows{{"300001", "Lenina"}}));
  EXPECT_EQ(local_->rows("select CONC_ID, WINP from CHANNEL where ID_CHANNEL = 300017"),
            (Rows{{"300005", "w"}}));
  EXPECT_EQ(local_->rows("select R_VALUE from LASTRHV where CHANNEL_ID = 300017"), (Rows{{"10.50000"}}));
  EXPECT_EQ(local_->scalar("select count(*) from RASHOD2004 where CHANNEL_ID = 300017"), 2);
  EXPECT_EQ(site_->scalar("select count(*) from REP_RASHOD2004"), 0);
  const std::int32_t checksum = context_.at(kIndex).local.addressChecksum;
  EXPECT_NE(checksum, 0);

  // Second run: one new archive row, a changed current value, the same address data. A local
  // change to the street shows whether the address file was applied again.
  site_->exec("insert into RASHOD2004 values (17, 1, '2024-02-01 03:00:00', 3.5)");
  site_->exec("update LASTRHV set R_VALUE = 11 where CHANNEL_ID = 17");
  local_->exec("update STREET set NAME = 'Local' where ID_STREET = 300001");
  ASSERT_EQ(run(), 0) << context_.lastPublished();
  EXPECT_EQ(local_->scalar("select count(*) from RASHOD2004 where CHANNEL_ID = 300017"), 3);
  EXPECT_EQ(local_->rows("select R_VALUE from LASTRHV where CHANNEL_ID = 300017"), (Rows{{"11.00000"}}));
  EXPECT_EQ(local_->rows("select NAME from STREET where ID_STREET = 300001"), (Rows{{"Local"}}));
  EXPECT_EQ(context_.at(kIndex).local.addressChecksum, checksum);
}

TEST_F(EndToEnd, FailedBatchLeavesTheSiteArchiveCapturedUntilTheNextRun) {
  start(DbTypeMetering);
  site_->exec("insert into STREET values (1, 'Lenina', 2, 0, 0, 0)");
  site_->exec(
      "insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (2, 1, '12', '', '')");
  site_->exec("insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID) values (5, 1, 2)");
  site_->exec(
      "insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT) "
      "values (17, 5, 1, 1, 555, 2, 0, 0)");
  site_->exec("insert into RASHOD2004 values (17, 1, '2024-02-01 01:00:00', 1.5)");
  ASSERT_EQ(run(), 0) << context_.lastPublished();

  // Without REPL_DATA locally the current-value batch fails and the run ends before the mark.
  site_->exec("insert into RASHOD2004 values (17, 1, '2024-02-01 02:00:00', 2.5)");
  local_->exec("drop procedure REPL_DATA");
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(context_.lastPublished().rfind(messages::kBatchFailed, 0), 0u) << context_.lastPublished();
  EXPECT_EQ(site_->scalar("select count(*) from REP_RASHOD2004"), 1);

  // A new process reads the generator again; below the target, it reinstalls the procedures.
  local_->exec("SET GENERATOR ReplVersion TO 0");
  context_.at(kIndex).local.localSchemaVersion = 0;
  ASSERT_EQ(run(), 0) << context_.lastPublished();
  EXPECT_EQ(local_->scalar("select count(*) from RASHOD2004 where CHANNEL_ID = 300017"), 2);
  EXPECT_EQ(site_->scalar("select count(*) from REP_RASHOD2004"), 0);
}

TEST_F(EndToEnd, JournalSiteReplicatesRequestsAndEventsOnce) {
  start(DbTypeJournal);
  // Fill the site through the same procedures the engine installs locally: they go through the
  // template's own find-or-create procedures, as the site's dispatch program would.
  {
    LocalConnection site;
    site.DB.setDatabaseName(site_->connectionName());
    site.DB.connect();
    // The procedures only: the site has no version generator.
    ASSERT_FALSE(ExecLocalStatement(site, JournalUpgradeScript[0]));
    ASSERT_FALSE(ExecLocalStatement(site, JournalUpgradeScript[1]));
  }
  site_->exec(
      "execute procedure REPL_ZAYAVKA (7, '2024-03-01 08:00:00', null, 0, 'N-1', 'Main st 1', 'Leak', "
      "'Water', 'Ivanov', 'Fitter', 'wet', 'fixed', '555-01', 2, 3)");
  site_->exec(
      "execute procedure REPL_HW ('House 5', '2024-03-01 08:00:00', '2024-03-01 08:10:00', null, 'Door', "
      "'t1', 5, 'seen')");

  ASSERT_EQ(run(), 0) << context_.lastPublished();
  EXPECT_EQ(
      local_->rows(
          "select j.FLAT_NUMBER, j.NUMBER, p.NAME from JOURNAL_PEOPLE_ALERTS j "
          "join PEOPLE p on p.ID_PEOPLE = j.CLIENT_PEOPLE_ID where j.DATE_OPEN = '2024-03-01 08:00:00'"),
      (Rows{{"7", "N-1", "Ivanov"}}));
  const std::string siteEvents =
      "select count(*) from JOURNAL_HARDWARE h join ITEM_TAGS t on t.ID_TAG = h.TAG_ID "
      "where t.NAME = '192.168.254.1 t1' and h.DATE_CONFIRM = '2024-03-01 08:10:00'";
  EXPECT_EQ(local_->scalar(siteEvents), 1);
  EXPECT_EQ(site_->scalar("select count(*) from R_CLIENT"), 0);

  // Closing both at the site brings updates, not copies.
  site_->exec(
      "execute procedure REPL_ZAYAVKA (7, '2024-03-01 08:00:00', '2024-03-01 12:00:00', 0, 'N-1', "
      "'Main st 1', 'Leak', 'Water', 'Ivanov', 'Fitter', 'wet', 'fixed', '555-01', 2, 3)");
  site_->exec(
      "execute procedure REPL_HW ('House 5', null, null, '2024-03-01 09:00:00', 'Door', 't1', 5, 'done')");
  ASSERT_EQ(run(), 0) << context_.lastPublished();
  EXPECT_EQ(
      local_->scalar("select count(*) from JOURNAL_PEOPLE_ALERTS where DATE_OPEN = '2024-03-01 08:00:00' "
                     "and DATE_CLOSE = '2024-03-01 12:00:00'"),
      1);
  EXPECT_EQ(
      local_->scalar("select count(*) from JOURNAL_PEOPLE_ALERTS where DATE_OPEN = '2024-03-01 08:00:00'"),
      1);
  EXPECT_EQ(local_->scalar("select count(*) from JOURNAL_HARDWARE h join ITEM_TAGS t on t.ID_TAG = h.TAG_ID "
                           "where t.NAME = '192.168.254.1 t1' and h.DATE_CLOSE = '2024-03-01 09:00:00'"),
            1);
}

TEST_F(EndToEnd, SinceDateBringsTheArchiveAndARepeatedRangeAddsNothing) {
  start(DbTypeMetering);
  site_->exec("insert into STREET values (1, 'Lenina', 2, 0, 0, 0)");
  site_->exec(
      "insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (2, 1, '12', '', '')");
  site_->exec("insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID) values (5, 1, 2)");
  site_->exec(
      "insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT) "
      "values (17, 5, 1, 1, 555, 2, 0, 0)");
  site_->exec("insert into RASHOD2004 values (17, 1, '2023-12-01 01:00:00', 1)");
  site_->exec("insert into RASHOD2004 values (17, 1, '2024-02-01 01:00:00', 2)");
  site_->exec("insert into RASHOD2004 values (17, 1, '2024-03-01 01:00:00', 3)");
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_EQ(ReplicateSinceDate(context_, kIndex, "1.1.2024"), 0) << context_.lastPublished();
    EXPECT_EQ(local_->scalar("select count(*) from RASHOD2004 where CHANNEL_ID = 300017"), 2);
  }
  // Nothing was marked or purged at the site.
  EXPECT_EQ(site_->scalar("select count(*) from REP_RASHOD2004 where STATUS = 0"), 3);
  EXPECT_EQ(ReplicateSinceDate(context_, kIndex, "17.01.2000"), kSinceDateRefused);
}

}  // namespace
}  // namespace mirrox

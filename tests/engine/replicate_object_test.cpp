#include "engine/replicate_object.h"

#include <gtest/gtest.h>

#include "engine/engine_messages.h"
#include "engine/local_connection.h"
#include "engine/prepare_remote.h"
#include "engine/row_error_file.h"
#include "engine/upgrade_scripts.h"
#include "link/checksum.h"
#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "link/protocol.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/fake_agent.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zlib_stream.h"

namespace mirrox {
namespace {

using testing_support::EngineTestContext;
using testing_support::FakeAgent;
using testing_support::ScratchDatabase;
using testing_support::Script;
using testing_support::TempDir;
using testing_support::writeFile;
using testing_support::zlibCompress;
using namespace std::chrono_literals;

// The agent's side of one command, as the scripts below play it.
Script& ok(Script& s) { return s.reply("Ok"); }
Script& select(Script& s, int resultId) { return s.reply("Ok/" + std::to_string(resultId)).send("Ok\n"); }
Script& fetch(Script& s, const std::string& rows) { return s.reply("Ok").fileBlock(zlibCompress(rows)); }

const std::string kAddress =
    "1\t2\tStreet\t12\tA\t1\t1\t10.0.0.5\t4001\t3\t17\t5\t1\t1\t555\t2\t0\t0\tw\tACC\t1\r\n";
const std::string kCurrent = "17\t1\t10.5\t01.02.2024 10:00:00\r\n";
const std::string kArchive = "17\t1\t1.5\t01.02.2024 01:00:00\r\n17\t1\t2.5\t01.02.2024 02:00:00\r\n";

std::string line(const TCommand& command) { return firstCommandLine(command) + "\r\n"; }

class RunTest : public ::testing::Test {
 protected:
  void makeObject(std::int32_t dbType, const FakeAgent& agent, int index = 0) {
    if (!db_) {
      db_.emplace(ScratchDatabase::fromTemplate(dir_.path(), "local.fdb", dbType));
    }
    while (static_cast<int>(context_.objects.size()) <= index) {
      context_.objects.push_back(
          {{agent.host(), agent.port(), "/site/db.gdb", 0}, {"Site", dbType, db_->path().string(), 0, 0}});
    }
  }

  std::vector<std::string> sent(const FakeAgent& agent) { return agent.lines(); }
  // The published texts without the link's own transfer reports.
  std::vector<std::string> steps() const {
    std::vector<std::string> result;
    for (const std::string& text : context_.published) {
      if (text.rfind("Файл Ok.", 0) != 0 && text.rfind("Декомпрессия.", 0) != 0) result.push_back(text);
    }
    return result;
  }
  std::int64_t count(const std::string& table) { return db_->scalar("select count(*) from " + table); }

  TempDir dir_;
  EngineTestContext context_{dir_.path()};
  std::optional<ScratchDatabase> db_;
};

Script meteringDialogue(const std::string& address, const std::string& current, const std::string& archive) {
  Script s;
  ok(s);  // open
  select(s, 11);
  fetch(s, address);
  select(s, 12);
  fetch(s, current);
  ok(s);  // mark
  select(s, 13);
  fetch(s, archive);
  ok(s);  // purge
  ok(s);  // close
  return s;
}

TEST_F(RunTest, MeteringRunAppliesEverythingPurgesAndEndsWithTheSeparatorAlone) {
  FakeAgent agent({meteringDialogue(kAddress, kCurrent, kArchive)});
  makeObject(DbTypeMetering, agent, 3);
  const DateTime before = context_.manualClock.now();

  EXPECT_EQ(ReplicateObject(context_, 3), 0) << context_.lastPublished();

  EXPECT_EQ(sent(agent), (std::vector<std::string>{
                             "/2//site/db.gdb\r\n", line(OriginalRep::CmdSelectAddress), "/4/11\r\n",
                             line(OriginalRep::CmdSelectCurrentValues), "/4/12\r\n",
                             line(OriginalRep::CmdMarkArchive), line(OriginalRep::CmdSelectArchive),
                             "/4/13\r\n", line(OriginalRep::CmdPurgeArchive), line(CmdCloseDatabase)}));
  EXPECT_EQ(steps(), (std::vector<std::string>{"Репликации данных \r\n3. Site", "Адресная информация...",
                                               "Мгновенные данные...", "Архивы ...", "\r\n-------"}));
  EXPECT_NEAR(context_.manualClock.now() - before, 2000.0 / 86400000.0, 1e-9);
  EXPECT_FALSE(context_.tcp().connected());
  EXPECT_TRUE(context_.localConnection().DB.connected());
  EXPECT_EQ(context_.at(3).local.localSchemaVersion, 2);
  EXPECT_NE(context_.at(3).local.addressChecksum, 0);
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(db_->scalar("select count(*) from CHANNEL where ID_CHANNEL = 300017"), 1);
  EXPECT_EQ(db_->scalar("select count(*) from LASTRHV where CHANNEL_ID = 300017"), 1);
  EXPECT_EQ(db_->scalar("select count(*) from RASHOD2004 where CHANNEL_ID = 300017"), 2);
}

TEST_F(RunTest, UnchangedAddressFileIsNotAppliedAgain) {
  FakeAgent agent({meteringDialogue(kAddress, "", "")});
  makeObject(DbTypeMetering, agent);
  writeFile(dir_.path() / "probe", kAddress);
  context_.at(0).local.addressChecksum = FileChecksum(dir_.path() / "probe");
  EXPECT_EQ(ReplicateObject(context_, 0), 0) << context_.lastPublished();
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(count("STREET"), 0);
}

TEST_F(RunTest, FailedAddressBatchEndsWithOneAndKeepsTheChecksum) {
  Script s;
  ok(s);
  select(s, 11);
  fetch(s, "1\t2\t" + std::string(60, 'x') +
               "\t12\tA\t1\t1\t10.0.0.5\t4001\t3\t17\t5\t1\t1\t555\t2\t0\t0\tw\r\n");
  FakeAgent agent({s});
  makeObject(DbTypeMetering, agent);
  context_.at(0).local.addressChecksum = 77;
  EXPECT_EQ(ReplicateObject(context_, 0), 1);
  EXPECT_EQ(context_.at(0).local.addressChecksum, 77);
  EXPECT_EQ(sent(agent).size(), 3u);  // no current values, no close
  EXPECT_TRUE(context_.lastPublished().ends_with("\r\n-------\r\n-------"));
}

TEST_F(RunTest, RefusedMarkEndsTheRunWithoutClosingTheSiteDatabase) {
  Script s;
  ok(s);
  select(s, 11);
  fetch(s, kAddress);
  select(s, 12);
  fetch(s, kCurrent);
  s.reply("Error/5/lock conflict on REP_RASHOD2004");
  FakeAgent agent({s});
  makeObject(DbTypeMetering, agent);
  EXPECT_EQ(ReplicateObject(context_, 0), 1);
  EXPECT_EQ(sent(agent).back(), line(OriginalRep::CmdMarkArchive));
  EXPECT_EQ(context_.lastPublished(), "lock conflict on REP_RASHOD2004\r\n-------");
  EXPECT_FALSE(context_.tcp().connected());
}

TEST_F(RunTest, FailedArchiveBatchClosesWithoutPurgeAndReturnsOne) {
  FakeAgent agent({meteringDialogue(kAddress, kCurrent, "17\t1\t1\t31.02.2024 01:00:00\r\n")});
  makeObject(DbTypeMetering, agent);
  EXPECT_EQ(ReplicateObject(context_, 0), 1);
  const auto lines = sent(agent);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), line(OriginalRep::CmdPurgeArchive)), 0);
  EXPECT_EQ(lines.back(), line(CmdCloseDatabase));
  // The address and current values committed by their own batches stay.
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(count("LASTRHV"), 1);
  EXPECT_EQ(count("RASHOD2004"), 0);
}

TEST_F(RunTest, SingleFailedRowsAreNotAFailureOfTheRun) {
  FakeAgent agent({meteringDialogue(kAddress, kCurrent, "99\t1\t1\t01.02.2024 01:00:00\r\n" + kArchive)});
  makeObject(DbTypeMetering, agent);
  EXPECT_EQ(ReplicateObject(context_, 0), 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / kRowErrorFileName));
  const auto lines = sent(agent);
  EXPECT_EQ(lines[lines.size() - 2], line(OriginalRep::CmdPurgeArchive));
}

TEST_F(RunTest, UnreachableLocalDatabaseSendsNothingToTheAgent) {
  FakeAgent agent({Script()});
  makeObject(DbTypeMetering, agent);
  context_.at(0).local.localDbPath = (dir_.path() / "absent.fdb").string();
  EXPECT_EQ(ReplicateObject(context_, 0), 1);
  EXPECT_TRUE(sent(agent).empty());
  EXPECT_EQ(context_.lastPublished().rfind("Ошибка подключения к локальной БД ", 0), 0u);
  EXPECT_TRUE(context_.lastPublished().ends_with("\r\n-------"));
}

TEST_F(RunTest, FailingUpgradeEndsWithTwoAndIsRepeatedNextRun) {
  // Without the address tables the third procedure cannot compile.
  db_.emplace(dir_.path(), "local.fdb");
  db_->exec(
      "create table LASTRHV (CHANNEL_ID INTEGER, PARAM SMALLINT, R_VALUE NUMERIC(18,5), REC_DATE TIMESTAMP)");
  db_->exec(
      "create table RASHOD2004 (CHANNEL_ID INTEGER, PARAM SMALLINT, REC_DATE TIMESTAMP, RASHOD_VALUE "
      "NUMERIC(18,5))");
  FakeAgent agent({Script()});
  makeObject(DbTypeMetering, agent);
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(ReplicateObject(context_, 0), 2);
    EXPECT_EQ(context_.lastPublished(), std::string("Ошибка обновления локальной БД: ") +
                                            MeteringUpgradeScript[2].Param + "\r\n-------");
  }
  EXPECT_TRUE(sent(agent).empty());
}

TEST_F(RunTest, ObjectOfUnknownTypeFailsBeforeAnythingIsOpened) {
  FakeAgent agent({Script()});
  makeObject(DbTypeMetering, agent);
  context_.at(0).local.dbType = 7;
  EXPECT_EQ(ReplicateObject(context_, 0), 1);
  EXPECT_TRUE(sent(agent).empty());
  EXPECT_EQ(context_.lastPublished(), "Неизвестный тип базы данных объекта: 7\r\n-------");
}

const std::string kRequest =
    "7\t01.03.2024 08:00:00\t\t0\tN-1\tMain st 1\tLeak\tWater\tIvanov\tFitter\twet\tfixed\t555-01\t2\t3\r\n";
// The events that came from the site (the template holds events of its own).
const std::string kSiteEvents =
    "JOURNAL_HARDWARE h join ITEM_TAGS t on t.ID_TAG = h.TAG_ID where t.NAME starting with '192.168.254.1'";
const std::string kEvent = "House 5\t01.03.2024 08:00:00\t\t\tDoor\t192.168.254.1 t1\t0\t\r\n";

Script journalDialogue(const std::string& requests, const std::string& events, bool purgeRequests) {
  Script s;
  ok(s);  // open
  ok(s);  // mark requests
  select(s, 21);
  fetch(s, requests);
  if (purgeRequests) ok(s);
  ok(s);  // mark events
  select(s, 22);
  fetch(s, events);
  ok(s);  // purge events
  ok(s);  // close
  return s;
}

TEST_F(RunTest, JournalRunAppliesRequestsAndEventsAndPurgesBoth) {
  FakeAgent agent({journalDialogue(kRequest, kEvent, true)});
  makeObject(DbTypeJournal, agent);
  EXPECT_EQ(ReplicateObject(context_, 0), 0) << context_.lastPublished();
  EXPECT_EQ(sent(agent),
            (std::vector<std::string>{"/2//site/db.gdb\r\n", line(JournalRep::CmdMarkRequests),
                                      line(JournalRep::CmdSelectRequests), "/4/21\r\n",
                                      line(JournalRep::CmdPurgeRequests), line(JournalRep::CmdMarkEvents),
                                      line(JournalRep::CmdSelectEvents), "/4/22\r\n",
                                      line(JournalRep::CmdPurgeEvents), line(CmdCloseDatabase)}));
  EXPECT_EQ(steps(), (std::vector<std::string>{"Репликации данных \r\n0. Site", "Заявки...", "События...",
                                               "\r\n-------"}));
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(count("JOURNAL_PEOPLE_ALERTS"), 1);
  EXPECT_EQ(count(kSiteEvents), 1);
}

// The events go on, but the run fails with the request batch's message: a run that leaves requests
// behind must not give the object a new time and an OK link.
TEST_F(RunTest, FailedRequestBatchStillReplicatesTheEventsButFailsTheRun) {
  FakeAgent agent(
      {journalDialogue("7\t31.02.2024 08:00:00\t\t0\tN\tA\tL\tW\tI\tF\t\t\t\t1\t1\r\n", kEvent, false)});
  makeObject(DbTypeJournal, agent);
  EXPECT_EQ(ReplicateObject(context_, 0), 1);
  EXPECT_EQ(context_.lastPublished().rfind(messages::kBatchFailed, 0), 0u) << context_.lastPublished();
  const auto lines = sent(agent);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), line(JournalRep::CmdPurgeRequests)), 0);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), line(JournalRep::CmdPurgeEvents)), 1);
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(count(kSiteEvents), 1);
}

TEST(SinceDate, AcceptsOnlyWholeDatesFromTheEighteenthOfJanuary2000) {
  EXPECT_TRUE(sinceDateAccepted("18.01.2000"));
  EXPECT_TRUE(sinceDateAccepted("5.3.2024"));
  EXPECT_FALSE(sinceDateAccepted("17.01.2000"));
  EXPECT_FALSE(sinceDateAccepted("18.01.2000'"));
  EXPECT_FALSE(sinceDateAccepted("01.01.2024' or 1=1 --"));
  EXPECT_FALSE(sinceDateAccepted("31.02.2024"));
  EXPECT_FALSE(sinceDateAccepted("2024-03-05"));
  EXPECT_FALSE(sinceDateAccepted(""));
  EXPECT_FALSE(sinceDateAccepted("05.03.2024 10:00"));
}

TEST_F(RunTest, SinceDateRefusesBadTextBeforeAnythingIsSent) {
  FakeAgent agent({Script()});
  makeObject(DbTypeMetering, agent);
  EXPECT_EQ(ReplicateSinceDate(context_, 0, "17.01.2000"), kSinceDateRefused);
  EXPECT_EQ(ReplicateSinceDate(context_, 0, "18.01.2000'"), kSinceDateRefused);
  EXPECT_TRUE(sent(agent).empty());
  EXPECT_TRUE(context_.published.empty());
}

TEST_F(RunTest, SinceDateBringsTheArchiveWithTheDateAsTypedAndRepeatsAddNothing) {
  Script s;
  ok(s);
  select(s, 11);
  fetch(s, kAddress);
  s.reply("Ok/31").send("Ok\n");
  fetch(s, kArchive);
  ok(s);  // close
  FakeAgent agent({s, s});
  makeObject(DbTypeMetering, agent);
  for (int run = 0; run < 2; ++run) {
    context_.published.clear();
    EXPECT_EQ(ReplicateSinceDate(context_, 0, "5.3.2024"), 0) << context_.lastPublished();
    EXPECT_EQ(context_.published.back(), "\r\n-------");
  }
  const auto lines = sent(agent);
  TCommand expected = OriginalRep::CmdSelectArchiveSince;
  expected.Param.replace(expected.Param.find("%s"), 2, "5.3.2024");
  EXPECT_EQ(lines[3], line(expected));
  EXPECT_NE(lines[3].find("r.rec_date > '5.3.2024'"), std::string::npos);
  EXPECT_EQ(lines[5], line(CmdCloseDatabase));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), line(OriginalRep::CmdMarkArchive)), 0);
  EXPECT_EQ(steps(), (std::vector<std::string>{"Адресная информация...", "Архивы...", "\r\n-------"}));
  EXPECT_FALSE(context_.localConnection().DB.connected());
  EXPECT_FALSE(context_.tcp().connected());
  EXPECT_EQ(count("RASHOD2004"), 2);
}

TEST_F(RunTest, SinceDateForJournalOpensTwiceAndBringsTheRequests) {
  Script s;
  ok(s);
  ok(s);
  s.reply("Ok/41").send("Ok\n");
  fetch(s, kRequest);
  ok(s);
  FakeAgent agent({s});
  makeObject(DbTypeJournal, agent);
  EXPECT_EQ(ReplicateSinceDate(context_, 0, "01.03.2024"), 0) << context_.lastPublished();
  const auto lines = sent(agent);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], lines[1]);
  EXPECT_NE(lines[2].find("'01.03.2024'"), std::string::npos) << lines[2];
  EXPECT_EQ(count("JOURNAL_PEOPLE_ALERTS"), 1);
}

class PrepareTest : public RunTest {};

TEST_F(PrepareTest, MeteringSendsTwoStatementsAsTextThenCloses) {
  Script s;
  ok(s);
  ok(s);
  ok(s);
  ok(s);
  FakeAgent agent({s});
  makeObject(DbTypeMetering, agent);
  EXPECT_EQ(PrepareRemoteDatabase(context_, 0), 0);
  EXPECT_EQ(
      sent(agent),
      (std::vector<std::string>{
          "/2//site/db.gdb\r\n", "/0/" + EncodeParam(OriginalRep::MeteringPrepScript[0].Param) + "\r\n",
          "/0/" + EncodeParam(OriginalRep::MeteringPrepScript[1].Param) + "\r\n", line(CmdCloseDatabase)}));
  EXPECT_EQ(context_.published, (std::vector<std::string>{"Подготовка БД Клиента Site", "\r\n-------"}));
}

TEST_F(PrepareTest, JournalSendsThreeStatements) {
  Script s;
  for (int i = 0; i < 5; ++i) ok(s);
  FakeAgent agent({s});
  makeObject(DbTypeJournal, agent);
  EXPECT_EQ(PrepareRemoteDatabase(context_, 0), 0);
  EXPECT_EQ(sent(agent).size(), 5u);
  EXPECT_EQ(sent(agent)[3], "/0/" + EncodeParam(JournalRep::JournalPrepScript[2].Param) + "\r\n");
}

TEST_F(PrepareTest, RefusedFirstStatementStopsAndKeepsTheAgentsMessage) {
  Script s;
  ok(s);
  s.reply("Error/5/Table REP_RASHOD2004 already exists");
  FakeAgent agent({s});
  makeObject(DbTypeMetering, agent);
  EXPECT_EQ(PrepareRemoteDatabase(context_, 0), 1);
  EXPECT_EQ(sent(agent).size(), 2u);
  EXPECT_EQ(context_.lastPublished(), "Table REP_RASHOD2004 already exists\r\n-------");
  EXPECT_FALSE(context_.tcp().connected());
}

TEST_F(PrepareTest, FailedOpenSendsNothingElse) {
  Script s;
  s.reply("Error/1/cannot attach");
  FakeAgent agent({s});
  makeObject(DbTypeJournal, agent);
  EXPECT_EQ(PrepareRemoteDatabase(context_, 0), 1);
  EXPECT_EQ(sent(agent).size(), 1u);
  EXPECT_EQ(context_.lastPublished(), "cannot attach\r\n-------");
}

TEST_F(PrepareTest, NoSelectedObjectDoesNothing) {
  FakeAgent agent({Script()});
  makeObject(DbTypeMetering, agent);
  EXPECT_EQ(PrepareRemoteDatabase(context_, -1), 0);
  EXPECT_TRUE(sent(agent).empty());
  EXPECT_TRUE(context_.published.empty());
}

TEST_F(PrepareTest, UnknownTypeSendsNothing) {
  FakeAgent agent({Script()});
  makeObject(DbTypeMetering, agent);
  context_.at(0).local.dbType = 2;
  EXPECT_EQ(PrepareRemoteDatabase(context_, 0), 1);
  EXPECT_TRUE(sent(agent).empty());
  EXPECT_EQ(context_.lastPublished(), "Неизвестный тип базы данных объекта: 2\r\n-------");
}

}  // namespace
}  // namespace mirrox

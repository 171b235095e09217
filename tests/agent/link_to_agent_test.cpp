// The link's own client (SendCommand, CheckConnection) against the real agent in front of scratch
// databases on the local Firebird server: the whole road a replication run takes.
#include <gtest/gtest.h>

#include "engine/database.h"
#include "link/command.h"
#include "link/cp1251.h"
#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "link/send_command.h"
#include "link/tcp_client.h"
#include "tests/agent/result_rows_of.h"
#include "tests/support/agent_process.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_context.h"

namespace mirrox::agent {
namespace {

using testing_support::readFile;

class LinkToAgent : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_.path() / "Log");
    site_ = std::make_unique<testing_support::ScratchDatabase>(dir_.path(), "site.fdb");
    context_.sites.push_back(AgentSite{"127.0.0.1", 0, site_->path().string(), 0});
  }

  void startAgent(std::vector<std::string> extra = {}) {
    extra.insert(extra.end(), {"--password", Database::kPassword, "--log", logPath().string()});
    agent_ = std::make_unique<testing_support::AgentProcess>(dir_.path(), extra);
    context_.sites[0].port = agent_->port();
  }

  std::int32_t send(const TCommand& command) { return SendCommand(context_, 0, command); }

  // Sends a select and fetches its result; returns the result file as it arrived.
  std::string selectAndFetch(const TCommand& select) {
    EXPECT_EQ(send(select), kSendOk) << context_.statusText();
    EXPECT_GT(context_.sites[0].resultId, 0);
    EXPECT_EQ(send(fetchResultCommand(context_.sites[0].resultId)), kSendOk) << context_.statusText();
    return readFile(dir_.path() / "Log" / "repl.rc");
  }

  std::filesystem::path logPath() const { return dir_.path() / "agent.log"; }

  testing_support::TempDir dir_;
  std::unique_ptr<testing_support::ScratchDatabase> site_;
  std::unique_ptr<testing_support::AgentProcess> agent_;
  testing_support::TestContext context_{dir_.path() / "Log", LinkLimits{}};
};

TEST_F(LinkToAgent, ConnectionCheckSucceedsWhenTheAgentOpensTheDatabase) {
  startAgent();
  EXPECT_TRUE(CheckConnection(context_, 0)) << context_.statusText();
  EXPECT_FALSE(context_.tcp().connected());
}

TEST_F(LinkToAgent, ConnectionCheckFailsForAWrongDatabasePathWithTheAgentsReason) {
  startAgent();
  context_.sites[0].remoteDbPath = (dir_.path() / "absent.fdb").string();
  EXPECT_FALSE(CheckConnection(context_, 0));
  EXPECT_NE(context_.statusText().find("absent.fdb"), std::string::npos) << context_.statusText();
  EXPECT_NE(context_.statusText().find("No such file or directory"), std::string::npos);
}

TEST_F(LinkToAgent, ConnectionCheckFailsWhenNoAgentListens) {
  startAgent();
  agent_->stop();  // its port is free again, with nothing behind it
  EXPECT_FALSE(CheckConnection(context_, 0));
  EXPECT_NE(context_.statusText().find("Socket Error"), std::string::npos) << context_.statusText();
}

TEST_F(LinkToAgent, ConnectionCheckFailsForAWrongPortWhileTheAgentRuns) {
  startAgent();
  testing_support::TempDir otherDir;
  std::uint16_t freePort = 0;
  {
    testing_support::AgentProcess other(otherDir.path(), {});
    freePort = other.port();
  }
  context_.sites[0].port = freePort;
  EXPECT_FALSE(CheckConnection(context_, 0));
  EXPECT_NE(context_.statusText().find("Socket Error"), std::string::npos) << context_.statusText();
}

TEST_F(LinkToAgent, SelectedRowsWithCyrillicTextArriveByteExact) {
  site_->exec("create table street (id_street integer, name varchar(80), note varchar(20))");
  site_->exec(utf8ToCp1251("insert into street values (1, 'Проспект Мира', 'ёЁ№')"));
  site_->exec(utf8ToCp1251("insert into street values (2, 'ул. Щорса' || ascii_char(9) || '7', null)"));
  startAgent();
  ASSERT_EQ(send(openDatabaseCommand(site_->path().string())), kSendOk) << context_.statusText();
  const std::string rows =
      selectAndFetch(TCommand{"", KindSelect, "select * from street\r\norder by id_street"});
  EXPECT_EQ(rows, utf8ToCp1251("1\tПроспект Мира\tёЁ№\r\n2\tул. Щорса 7\t\r\n"));
  EXPECT_EQ(send(CmdCloseDatabase), kSendOk);
}

// The archive capture as a run uses it: prepared through the link, marked, selected, fetched and
// purged with the catalogue's own commands, which the agent knows by GUID.
class ArchiveCycle : public LinkToAgent, public ::testing::WithParamInterface<bool> {};

TEST_P(ArchiveCycle, MarkSelectPurgeMovesOnlyTheMarkedRows) {
  const bool agentKnowsStatements = GetParam();
  site_->exec("create table channel (id_channel integer, flat smallint)");
  site_->exec(
      "create table rashod2004 (channel_id integer, param smallint, rec_date timestamp, "
      "rashod_value numeric(18,5))");
  site_->exec("insert into channel values (10, 0)");
  site_->exec("insert into channel values (20, 1)");
  startAgent(agentKnowsStatements ? std::vector<std::string>{} : std::vector<std::string>{"--no-statements"});

  ASSERT_EQ(send(openDatabaseCommand(site_->path().string())), kSendOk) << context_.statusText();
  for (const TCommand& statement : OriginalRep::MeteringPrepScript) {
    ASSERT_EQ(send(statement), kSendOk) << context_.statusText();
  }
  site_->exec("insert into rashod2004 values (10, 1, '2024-05-01 12:00:00', 1.5)");
  site_->exec("insert into rashod2004 values (20, 1, '2024-05-01 12:00:00', 9)");  // FLAT 1: never sent

  ASSERT_EQ(send(OriginalRep::CmdMarkArchive), kSendOk) << context_.statusText();
  site_->exec("insert into rashod2004 values (10, 2, '2024-05-01 13:00:00', 2.25)");  // after the mark
  EXPECT_EQ(selectAndFetch(OriginalRep::CmdSelectArchive), "10\t1\t1.50000\t01.05.2024 12:00:00\r\n");
  ASSERT_EQ(send(OriginalRep::CmdPurgeArchive), kSendOk) << context_.statusText();
  EXPECT_EQ(send(CmdCloseDatabase), kSendOk);
  context_.tcp().disconnect();

  EXPECT_EQ(testing_support::resultRowsOf(*site_, "select channel_id, param, status from rep_rashod2004"),
            "10\t2\t0\r\n");
  // Without statements every GUID command was refused once and resent with its text.
  const std::string log = readFile(logPath());
  const std::string markByGuid = OriginalRep::CmdMarkArchive.Cmd + "/0\n";
  const std::string markWithText =
      OriginalRep::CmdMarkArchive.Cmd + "/0/" + OriginalRep::CmdMarkArchive.Param + "\n";
  EXPECT_NE(log.find(markByGuid), std::string::npos) << log;
  EXPECT_EQ(log.find(markWithText) != std::string::npos, !agentKnowsStatements) << log;
  EXPECT_EQ(log.find("Error/4/") != std::string::npos, !agentKnowsStatements) << log;
}

INSTANTIATE_TEST_SUITE_P(AgentWithAndWithoutStatements, ArchiveCycle, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? std::string("OwnStatements")
                                              : std::string("ResentAfterCodeFour");
                         });

TEST_F(LinkToAgent, SecondRequestMarkMovesOnlyRowsThatArrivedSince) {
  site_->exec("create table r_client (id_rec integer, status integer)");
  site_->exec("insert into r_client values (1, 2)");
  startAgent();
  ASSERT_EQ(send(openDatabaseCommand(site_->path().string())), kSendOk) << context_.statusText();
  ASSERT_EQ(send(JournalRep::CmdMarkRequests), kSendOk) << context_.statusText();
  site_->exec("insert into r_client values (2, 2)");
  site_->exec("update r_client set status = 9 where id_rec = 1");  // no longer 3: must stay 9
  ASSERT_EQ(send(JournalRep::CmdMarkRequests), kSendOk) << context_.statusText();
  ASSERT_EQ(send(JournalRep::CmdPurgeRequests), kSendOk) << context_.statusText();
  EXPECT_EQ(testing_support::resultRowsOf(*site_, "select id_rec, status from r_client order by id_rec"),
            "1\t9\r\n");
}

TEST_F(LinkToAgent, JournalCaptureSeparatesRequestsFromEventsThroughMarkAndPurge) {
  site_->exec("create table journal_people_alerts (id_record integer, note varchar(20))");
  site_->exec("create table journal_hardware (id_record integer, note varchar(20))");
  startAgent();
  ASSERT_EQ(send(openDatabaseCommand(site_->path().string())), kSendOk) << context_.statusText();
  for (const TCommand& statement : JournalRep::JournalPrepScript) {
    ASSERT_EQ(send(statement), kSendOk) << context_.statusText();
  }
  site_->exec("insert into journal_people_alerts values (7, 'a')");
  site_->exec("insert into journal_hardware values (8, 'b')");
  site_->exec("update journal_hardware set note = 'c'");  // a second capture of the same event
  ASSERT_EQ(send(JournalRep::CmdMarkEvents), kSendOk) << context_.statusText();
  site_->exec("insert into journal_hardware values (9, 'd')");  // after the mark
  ASSERT_EQ(send(JournalRep::CmdPurgeEvents), kSendOk) << context_.statusText();
  EXPECT_EQ(testing_support::resultRowsOf(*site_, "select id_rec, status from r_client order by id_rec"),
            "7\t2\r\n9\t0\r\n");
}

TEST_F(LinkToAgent, FailedSelectLeavesNoResultToFetch) {
  startAgent();
  ASSERT_EQ(send(openDatabaseCommand(site_->path().string())), kSendOk) << context_.statusText();
  EXPECT_EQ(send(TCommand{"", KindSelect, "select * from no_such_table"}), kSendFailed);
  EXPECT_NE(context_.statusText().find("NO_SUCH_TABLE"), std::string::npos) << context_.statusText();
  // Fails while it runs: the first reply carried an identifier, the link sets it back to 0.
  EXPECT_EQ(send(TCommand{"", KindSelect, "select cast('x' as integer) from rdb$database"}), kSendFailed);
  EXPECT_EQ(context_.sites[0].resultId, 0);
  EXPECT_NE(context_.statusText().find("conversion error"), std::string::npos) << context_.statusText();
  // The connection is still in step after failure lines.
  EXPECT_EQ(selectAndFetch(TCommand{"", KindSelect, "select 42 from rdb$database"}), "42\r\n");
}

}  // namespace
}  // namespace mirrox::agent

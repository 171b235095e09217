#include "link/send_command.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>

#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "link/protocol.h"
#include "tests/support/fake_agent.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_context.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeAgent;
using testing_support::Script;
using testing_support::TempDir;
using testing_support::TestContext;

// A generous limit for replies that come at once, and a short one where the limit itself is tested.
constexpr std::chrono::milliseconds kPatient = 10s;
constexpr std::chrono::milliseconds kShort = 150ms;

class SendCommandTest : public testing::Test {
 protected:
  void useLimit(std::chrono::milliseconds limit) {
    LinkLimits limits;
    limits.readTimeout = limit;
    context_ = std::make_unique<TestContext>(dir_.path(), limits);
  }
  TestContext& context() {
    if (!context_) useLimit(kPatient);
    return *context_;
  }
  int addSite(const FakeAgent& agent, std::string remoteDbPath = "/data/site.fdb") {
    context().sites.push_back(AgentSite{agent.host(), agent.port(), std::move(remoteDbPath), 0});
    return static_cast<int>(context().sites.size()) - 1;
  }
  std::int32_t send(int index, const TCommand& command) { return SendCommand(context(), index, command); }
  const std::string& status() { return context().statusText(); }

  TempDir dir_;
  std::unique_ptr<TestContext> context_;
};

TEST_F(SendCommandTest, GuidCommandGoesOutWithoutItsStatement) {
  FakeAgent agent({Script().reply("Ok")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdMarkArchive), kSendOk);
  EXPECT_EQ(status(), "");
  ASSERT_TRUE(agent.waitForLines(1, kPatient));
  EXPECT_EQ(agent.lines(), (std::vector<std::string>{"{A429281C-D55B-44BA-B96B-26FEDBC2015E}/0\r\n"}));
}

TEST_F(SendCommandTest, ResendsStatementAfterErrorFour) {
  FakeAgent agent({Script().reply("Error/4/unknown command").reply("Ok")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdPurgeArchive), kSendOk);
  EXPECT_EQ(status(), "");
  EXPECT_EQ(agent.lines(),
            (std::vector<std::string>{
                "{D82E24F5-4EE6-43E1-AC6A-718C3CEF5C2D}/0\r\n",
                "{D82E24F5-4EE6-43E1-AC6A-718C3CEF5C2D}/0/delete from REP_RASHOD2004 where status = 1\r\n"}));
}

TEST_F(SendCommandTest, SecondErrorFourIsAnOrdinaryFailure) {
  FakeAgent agent({Script().reply("Error/4/unknown").reply("Error/4/still unknown")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdMarkArchive), kSendFailed);
  EXPECT_EQ(status(), "still unknown");
  EXPECT_EQ(agent.lines().size(), 2u);
}

TEST_F(SendCommandTest, MultiLineStatementTravelsAsOneLineWithLineBreaksEncoded) {
  FakeAgent agent({Script().reply("Ok").reply("Ok")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, TCommand{"", KindExecute, "update t\r\nset a = '\tx'"}), kSendOk);
  EXPECT_EQ(send(site, OriginalRep::MeteringPrepScript[0]), kSendOk);
  const auto lines = agent.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "/0/update t\x09\x08set a = '\tx'\r\n");
  EXPECT_EQ(lines[1],
            "/0/CREATE TABLE REP_RASHOD2004 (\x09\x08"
            "CHANNEL_ID INTEGER,\x09\x08"
            "PARAM SMALLINT,\x09\x08"
            "REC_DATE TIMESTAMP,\x09\x08"
            "RASHOD_VALUE NUMERIC(18,5),\x09\x08"
            "STATUS SMALLINT\x09\x08)\r\n");
}

TEST_F(SendCommandTest, GenericCommandsCarryTheirParameterInCodePage1251) {
  FakeAgent agent({Script().reply("Ok").reply("Ok").reply("Error/2/no result")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, openDatabaseCommand("C:\\Базы\\site.gdb")), kSendOk);
  EXPECT_EQ(send(site, CmdCloseDatabase), kSendOk);
  EXPECT_EQ(send(site, fetchResultCommand(17)), kSendFailed);
  EXPECT_EQ(status(), "no result");
  EXPECT_EQ(agent.lines(),
            (std::vector<std::string>{"/2/C:\\\xC1\xE0\xE7\xFB\\site.gdb\r\n", "/3/\r\n", "/4/17\r\n"}));
}

TEST_F(SendCommandTest, FailureReplyLeavesTheConnectionUsable) {
  FakeAgent agent({Script().reply("Error/7/path /x/y.gdb: not found").reply("Ok")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, openDatabaseCommand("/x/y.gdb")), kSendFailed);
  EXPECT_EQ(status(), "path /x/y.gdb: not found");
  EXPECT_EQ(send(site, openDatabaseCommand("/x/z.gdb")), kSendOk);
  EXPECT_EQ(agent.connectionsAccepted(), 1);
}

TEST_F(SendCommandTest, AgentMessageIsDecodedFromCodePage1251) {
  FakeAgent agent({Script().reply("Error/3/\xCD\xE5\xF2 \xF2\xE0\xE1\xEB\xE8\xF6\xFB")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdMarkArchive), kSendFailed);
  EXPECT_EQ(status(), "Нет таблицы");
}

TEST_F(SendCommandTest, SelectStoresTheResultIdOfItsFirstReply) {
  // The first reply ends with CR LF, the second with LF alone: both are the same line.
  FakeAgent agent({Script().readLine().send("Ok/17\r\n").send("Ok\n")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdSelectAddress), kSendOk);
  EXPECT_EQ(context().sites[0].resultId, 17);
  EXPECT_EQ(agent.lines(), (std::vector<std::string>{"{C5403F4B-19F2-4B23-8C9F-29909F0C761C}/1\r\n"}));
}

TEST_F(SendCommandTest, SelectWhoseSecondReplyFailsResetsTheResultId) {
  FakeAgent agent({Script().reply("Ok/17").send("Error/3/select failed: no table\n")});
  const int site = addSite(agent);
  context().sites[0].resultId = 5;
  EXPECT_EQ(send(site, JournalRep::CmdSelectEvents), kSendFailed);
  EXPECT_EQ(context().sites[0].resultId, 0);
  EXPECT_EQ(status(), "select failed: no table");
}

TEST_F(SendCommandTest, SelectFailingAtOnceIsOneLineAndKeepsTheResultId) {
  FakeAgent agent({Script().reply("Error/5/syntax error").reply("Ok")});
  const int site = addSite(agent);
  context().sites[0].resultId = 5;
  EXPECT_EQ(send(site, JournalRep::CmdSelectRequests), kSendFailed);
  EXPECT_EQ(context().sites[0].resultId, 5);
  // The next command's reply is not taken for a second select line.
  EXPECT_EQ(send(site, CmdCloseDatabase), kSendOk);
}

TEST_F(SendCommandTest, SelectRepliesMayTakeLongerThanTheReadLimit) {
  useLimit(100ms);
  FakeAgent agent({Script().readLine().pause(400ms).send("Ok/3\n").pause(400ms).send("Ok\n").reply("Ok")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdSelectArchive), kSendOk) << status();
  EXPECT_EQ(context().sites[0].resultId, 3);
  // The limit is back for the next exchange.
  EXPECT_EQ(send(site, CmdCloseDatabase), kSendOk);
  EXPECT_EQ(context().tcp().readTimeout(), std::optional<std::chrono::milliseconds>(100ms));
}

TEST_F(SendCommandTest, StopRequestEndsAnUnlimitedSelectWait) {
  LinkLimits limits;
  limits.stopPollInterval = 20ms;
  context_ = std::make_unique<TestContext>(dir_.path(), limits);
  FakeAgent agent({Script().readLine().stall()});
  const int site = addSite(agent);
  auto exchange = std::async(std::launch::async, [&] { return send(site, JournalRep::CmdSelectRequests); });
  ASSERT_TRUE(agent.waitForLines(1, kPatient));
  context().stop = true;
  EXPECT_EQ(exchange.get(), kSendBroken);
  EXPECT_EQ(status(), "Остановлено по запросу оператора. {7B7F2344-E346-4A28-A64C-B17B7091ED98}");
  EXPECT_FALSE(context().tcp().connected());
}

TEST_F(SendCommandTest, OtherRepliesTimeOutAfterTheReadLimit) {
  useLimit(kShort);
  FakeAgent agent({Script().readLine().stall()});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdMarkArchive), kSendBroken);
  EXPECT_EQ(status(), "Read Timeout {A429281C-D55B-44BA-B96B-26FEDBC2015E}");
  EXPECT_FALSE(context().tcp().connected());
}

TEST_F(SendCommandTest, LateReplyAfterATimeoutIsNeverTakenForTheNextAnswer) {
  useLimit(kShort);
  FakeAgent agent(
      {Script().readLine().pause(500ms).send("Ok/1\n"), Script().reply("Error/9/fresh connection")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, CmdCloseDatabase), kSendBroken);
  EXPECT_EQ(status(), "Read Timeout ");  // a generic command leaves the message and one blank
  EXPECT_EQ(send(site, CmdCloseDatabase), kSendFailed);
  EXPECT_EQ(status(), "fresh connection");
  EXPECT_EQ(agent.connectionsAccepted(), 2);
}

TEST_F(SendCommandTest, LineOfMaximumLengthIsAccepted) {
  const std::string line = "Error/5/" + std::string(16384 - 8, 'm');
  FakeAgent agent({Script().reply(line)});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdMarkArchive), kSendFailed);
  EXPECT_EQ(status().size(), 16384u - 8);
}

TEST_F(SendCommandTest, LineOneByteOverTheMaximumBreaksTheExchange) {
  FakeAgent agent({Script().reply("Error/5/" + std::string(16385 - 8, 'm'))});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdMarkArchive), kSendBroken);
  EXPECT_EQ(status(), "Max line length exceeded. {A429281C-D55B-44BA-B96B-26FEDBC2015E}");
}

TEST_F(SendCommandTest, EndlessLineWithoutTerminatorIsRefusedWithoutWaitingForItsEnd) {
  FakeAgent agent({Script().readLine().send(std::string(100000, 'x')).stall()});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, CmdCloseDatabase), kSendBroken);
  EXPECT_EQ(status(), "Max line length exceeded. ");
}

TEST_F(SendCommandTest, AgentClosingTheConnectionBreaksTheExchange) {
  FakeAgent agent({Script().readLine().close()});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, openDatabaseCommand("/data/site.fdb")), kSendBroken);
  EXPECT_EQ(status(), "Connection Closed Gracefully. ");
}

TEST_F(SendCommandTest, AgentResettingTheConnectionGivesTheSocketError) {
  FakeAgent agent({Script().readLine().reset()});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdMarkArchive), kSendBroken);
  EXPECT_EQ(status(),
            "Socket Error # 104\r\nConnection reset by peer {A429281C-D55B-44BA-B96B-26FEDBC2015E}");
}

TEST_F(SendCommandTest, RefusedConnectGivesTheSocketError) {
  int closedPort = 0;
  {
    FakeAgent gone({});
    closedPort = gone.port();
  }
  context().sites.push_back(AgentSite{"127.0.0.1", closedPort, "/data/site.fdb", 0});
  EXPECT_EQ(send(0, OriginalRep::CmdMarkArchive), kSendBroken);
  EXPECT_EQ(status(), "Socket Error # 111\r\nConnection refused {A429281C-D55B-44BA-B96B-26FEDBC2015E}");
}

TEST_F(SendCommandTest, UnknownPositionOrBadAddressBreaksTheExchange) {
  EXPECT_EQ(send(3, CmdCloseDatabase), kSendBroken);
  EXPECT_EQ(status(), "Нет объекта в позиции 3 ");
  context().sites.push_back(AgentSite{"", 5029, "", 0});
  context().sites.push_back(AgentSite{"127.0.0.1", 70000, "", 0});
  EXPECT_EQ(send(0, CmdCloseDatabase), kSendBroken);
  EXPECT_EQ(status().rfind("Узел не найден: \"\"", 0), 0u) << status();
  EXPECT_EQ(send(1, CmdCloseDatabase), kSendBroken);
  EXPECT_EQ(status(), "Недопустимый порт 70000 ");
}

TEST_F(SendCommandTest, TwoObjectsWithTheSameHostAndPortShareTheConnection) {
  FakeAgent agent({Script().reply("Ok").reply("Ok")});
  addSite(agent, "/a.fdb");
  addSite(agent, "/b.fdb");
  EXPECT_EQ(send(0, openDatabaseCommand("/a.fdb")), kSendOk);
  EXPECT_EQ(send(1, openDatabaseCommand("/b.fdb")), kSendOk);
  EXPECT_EQ(agent.connectionsAccepted(), 1);
  EXPECT_EQ(agent.lines(), (std::vector<std::string>{"/2//a.fdb\r\n", "/2//b.fdb\r\n"}));
}

TEST_F(SendCommandTest, ObjectWithAnotherPortForcesADisconnectAndAFreshConnect) {
  FakeAgent first({Script().reply("Ok"), Script().reply("Ok")});
  FakeAgent second({Script().reply("Ok")});
  addSite(first);
  addSite(second);
  EXPECT_EQ(send(0, CmdCloseDatabase), kSendOk);
  EXPECT_EQ(send(1, CmdCloseDatabase), kSendOk);
  EXPECT_TRUE(first.waitForClientClose(kPatient));
  EXPECT_EQ(send(0, CmdCloseDatabase), kSendOk);
  EXPECT_EQ(first.connectionsAccepted(), 2);
  EXPECT_EQ(second.connectionsAccepted(), 1);
  EXPECT_EQ(context().tcp().port(), first.port());
}

// Only a decimal code 4 asks for the statement: a failure whose code is not a number reads as
// code 10 and is an ordinary failure, shown with its message.
TEST_F(SendCommandTest, FailureWithoutADecimalCodeIsNotTakenForAMissingStatement) {
  FakeAgent agent({Script().reply("Error/four/no statement").reply("Ok")});
  const int site = addSite(agent);
  EXPECT_EQ(send(site, OriginalRep::CmdMarkArchive), kSendFailed);
  EXPECT_EQ(status(), "no statement");
  EXPECT_EQ(send(site, CmdCloseDatabase), kSendOk);
  ASSERT_TRUE(agent.waitForLines(2, kPatient));
  EXPECT_EQ(agent.lines(),
            (std::vector<std::string>{"{A429281C-D55B-44BA-B96B-26FEDBC2015E}/0\r\n", "/3/\r\n"}));
}

class CheckConnectionTest : public SendCommandTest {};

TEST_F(CheckConnectionTest, OpensAndClosesTheRemoteDatabaseAndDisconnects) {
  FakeAgent agent({Script().reply("Ok").reply("Ok")});
  const int site = addSite(agent, "C:\\DB\\site.gdb");
  EXPECT_TRUE(CheckConnection(context(), site));
  EXPECT_EQ(agent.lines(), (std::vector<std::string>{"/2/C:\\DB\\site.gdb\r\n", "/3/\r\n"}));
  EXPECT_TRUE(agent.waitForClientClose(kPatient));
  EXPECT_FALSE(context().tcp().connected());
}

TEST_F(CheckConnectionTest, FailedOpenSendsNoCloseAndKeepsTheAgentsMessage) {
  FakeAgent agent({Script().reply("Error/1/cannot attach /nope.fdb")});
  const int site = addSite(agent, "/nope.fdb");
  EXPECT_FALSE(CheckConnection(context(), site));
  EXPECT_EQ(status(), "cannot attach /nope.fdb");
  EXPECT_TRUE(agent.waitForClientClose(kPatient));
  EXPECT_EQ(agent.lines().size(), 1u);
}

TEST_F(CheckConnectionTest, NoAgentListeningFails) {
  int closedPort = 0;
  {
    FakeAgent gone({});
    closedPort = gone.port();
  }
  context().sites.push_back(AgentSite{"127.0.0.1", closedPort, "/data/site.fdb", 0});
  EXPECT_FALSE(CheckConnection(context(), 0));
  EXPECT_EQ(status().rfind("Socket Error # 111", 0), 0u);
}

}  // namespace
}  // namespace mirrox

// The real agent process in front of scratch databases on the local Firebird server, driven over
// loopback TCP by a bare protocol client.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "engine/database.h"
#include "fb/client_version.h"
#include "link/cp1251.h"
#include "link/protocol.h"
#include "link/unique_fd.h"
#include "mirrox_version.h"
#include "tests/agent/raw_agent_client.h"
#include "tests/agent/result_rows_of.h"
#include "tests/support/agent_process.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zlib_stream.h"

namespace mirrox::agent {
namespace {

using testing_support::AgentProcess;
using testing_support::RawAgentClient;

using testing_support::readFile;

class AgentEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    site_ = std::make_unique<testing_support::ScratchDatabase>(dir_.path(), "site.fdb");
  }

  void startAgent(std::vector<std::string> extra = {}) {
    if (std::find(extra.begin(), extra.end(), "--password") == extra.end()) {
      extra.insert(extra.end(), {"--password", Database::kPassword});
    }
    extra.insert(extra.end(), {"--log", logPath().string()});
    agent_ = std::make_unique<AgentProcess>(dir_.path(), extra);
  }

  RawAgentClient connect() { return RawAgentClient(agent_->port()); }

  // Opens the scratch database on a fresh connection.
  RawAgentClient connectAndOpen() {
    RawAgentClient client = connect();
    client.sendLine("/2/" + site_->path().string());
    EXPECT_EQ(client.readLine(), "Ok");
    return client;
  }

  // Runs a statement as text and expects success.
  static void execute(RawAgentClient& client, const std::string& sql) {
    client.sendLine("/0/" + EncodeParam(sql));
    EXPECT_EQ(client.readLine(), "Ok") << sql;
  }

  // Select, then fetch; returns the inflated result file.
  static std::string selectAndFetch(RawAgentClient& client, const std::string& selectLine) {
    client.sendLine(selectLine);
    const std::optional<std::string> first = client.readLine();
    EXPECT_TRUE(first && first->rfind("Ok/", 0) == 0) << first.value_or("<closed>");
    if (!first || first->rfind("Ok/", 0) != 0) return {};
    EXPECT_EQ(client.readLine(), "Ok");
    client.sendLine("/4/" + first->substr(3));
    EXPECT_EQ(client.readLine(), "Ok");
    const std::optional<std::string> rows = testing_support::inflateZlib(client.readBlock());
    EXPECT_TRUE(rows.has_value()) << "payload is not one whole zlib stream";
    return rows.value_or("");
  }

  std::filesystem::path logPath() const { return dir_.path() / "agent.log"; }

  // The agent's private results directory under its TMPDIR.
  std::filesystem::path resultsDirectory() const {
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      if (entry.is_directory() && entry.path().filename().string().rfind("mirrox-agent-", 0) == 0) {
        return entry.path();
      }
    }
    return {};
  }

  // Waits for a condition that the agent reaches on its own after a client left. The limit only
  // keeps a broken agent from hanging the suite.
  template <class Condition>
  static bool eventually(Condition condition) {
    for (int i = 0; i < 2000; ++i) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
  }

  testing_support::TempDir dir_;
  std::unique_ptr<testing_support::ScratchDatabase> site_;
  std::unique_ptr<AgentProcess> agent_;
};

TEST_F(AgentEndToEnd, OpenAndCloseSucceedAndEveryCommandLineIsLogged) {
  startAgent();
  RawAgentClient client = connect();
  client.sendLine("/2/" + site_->path().string());
  EXPECT_EQ(client.readLine(), "Ok");
  // A second open on the same connection succeeds as well.
  client.sendLine("/2/" + site_->path().string());
  EXPECT_EQ(client.readLine(), "Ok");
  client.sendLine("/3/");
  EXPECT_EQ(client.readLine(), "Ok");
  client.close();
  EXPECT_TRUE(eventually([&] { return readFile(logPath()).find("disconnected") != std::string::npos; }));
  const std::string log = readFile(logPath());
  EXPECT_NE(log.find(" /2/" + site_->path().string() + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" /3/\n"), std::string::npos) << log;
}

TEST_F(AgentEndToEnd, WrongDatabasePathIsReportedWithTheServersReasonAndTheConnectionStaysUsable) {
  startAgent();
  RawAgentClient client = connect();
  const std::string wrong = (dir_.path() / "no-such.fdb").string();
  client.sendLine("/2/" + wrong);
  const std::optional<std::string> reply = client.readLine();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->rfind("Error/1/cannot open database " + wrong + ": ", 0), 0u) << *reply;
  EXPECT_NE(reply->find("No such file or directory"), std::string::npos) << *reply;
  EXPECT_NE(readFile(logPath()).find("Error/1/cannot open database " + wrong), std::string::npos);

  client.sendLine("/2/" + site_->path().string());
  EXPECT_EQ(client.readLine(), "Ok");
}

TEST_F(AgentEndToEnd, WrongCredentialsAreReportedToTheClientAndTheLog) {
  startAgent({"--password", "not-the-password"});
  RawAgentClient client = connect();
  client.sendLine("/2/" + site_->path().string());
  const std::optional<std::string> reply = client.readLine();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->rfind("Error/1/", 0), 0u) << *reply;
  EXPECT_NE(reply->find("user name and password are not defined"), std::string::npos) << *reply;
  EXPECT_NE(readFile(logPath()).find("user name and password are not defined"), std::string::npos);
}

TEST_F(AgentEndToEnd, SelectedRowsWithCyrillicTextArriveByteExact) {
  startAgent();
  RawAgentClient client = connectAndOpen();
  execute(client,
          "create table people (\r\n  id integer,\r\n  name varchar(60),\r\n  code char(4),\r\n"
          "  amount numeric(18,5),\r\n  seen timestamp,\r\n  note blob sub_type text,\r\n  due date,\r\n"
          "  ratio double precision)");
  // The statement travels in code page 1251, as everything on the wire.
  execute(client, utf8ToCp1251("insert into people values (1, 'Улица Ленина, д. 5', 'АБ', 12.5, "
                               "'2024-03-01 10:20:30.1234', 'строка' || ascii_char(9) || 'два' || "
                               "ascii_char(13) || ascii_char(10) || 'три', '2024-12-31', 0.25)"));
  execute(client, "insert into people values (2, null, null, null, null, null, null, null)");
  execute(client, "insert into people values (3, '', '', -0.001, '1999-01-02 00:00:00', '', null, -1)");

  const std::string rows = selectAndFetch(client, "/1/select * from people order by id");
  const std::string expected = utf8ToCp1251(
                                   "1\tУлица Ленина, д. 5\tАБ  \t12.50000\t01.03.2024 10:20:30\tстрока два  "
                                   "три\t31.12.2024\t0.25\r\n") +
                               "2\t\t\t\t\t\t\t\r\n"
                               "3\t\t    \t-0.00100\t02.01.1999 00:00:00\t\t\t-1\r\n";
  EXPECT_EQ(rows, expected);
}

TEST_F(AgentEndToEnd, EveryKindOfColumnAndStatementGivesRowsInTheResultFileForm) {
  startAgent();
  RawAgentClient client = connectAndOpen();
  execute(client, "create table t (id integer)");
  execute(
      client,
      "create procedure p returns (a integer, b varchar(10)) as\r\nbegin\r\n  a = 7;\r\n  b = 'x';\r\nend");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"select cast('12:34:56.789' as time), true, false, cast(null as boolean) from rdb$database",
       "12:34:56\t1\t0\t\r\n"},
      {"select cast(1.5 as float), cast(-123.456 as numeric(9,3)), 9223372036854775807, "
       "cast(-7 as smallint) from rdb$database",
       "1.5\t-123.456\t9223372036854775807\t-7\r\n"},
      // An executable procedure gives its one row of outputs.
      {"execute procedure p", "7\tx\r\n"},
      // A statement without rows gives an empty result, not a failure.
      {"insert into t values (1)", ""},
      {"select id from t where id < 0", ""},
  };
  for (const auto& [sql, rows] : cases) {
    EXPECT_EQ(selectAndFetch(client, "/1/" + EncodeParam(sql)), rows) << sql;
  }
}

TEST_F(AgentEndToEnd, SelectFailingWhileItRunsGivesItsIdentifierThenAFailureAndNoResult) {
  startAgent();
  RawAgentClient client = connectAndOpen();
  client.sendLine("/1/select cast(x as integer) from (select 'one' as x from rdb$database)");
  const std::optional<std::string> first = client.readLine();
  ASSERT_TRUE(first.has_value());
  ASSERT_EQ(first->rfind("Ok/", 0), 0u) << *first;
  const std::optional<std::string> second = client.readLine();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->rfind("Error/1/", 0), 0u) << *second;
  EXPECT_NE(second->find("conversion error"), std::string::npos) << *second;

  client.sendLine("/4/" + first->substr(3));
  const std::optional<std::string> fetch = client.readLine();
  ASSERT_TRUE(fetch.has_value());
  EXPECT_EQ(fetch->rfind("Error/5/", 0), 0u) << *fetch;
}

TEST_F(AgentEndToEnd, FailuresBeforeAnyResultAreOneLineAndLeaveTheConnectionInStep) {
  startAgent();
  RawAgentClient client = connect();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/0/update nothing set a = 1", "Error/2/"},  // nothing open yet
      {"/1/select 1 from rdb$database", "Error/2/"},
      {"/2/" + site_->path().string(), "Ok"},
      {"/1/select * from no_such_table", "Error/1/"},
      {"/0/this is not sql", "Error/1/"},
      {"/4/12345", "Error/5/"},
      {"/4/seven", "Error/3/"},
      {"/4/", "Error/3/"},
      {"/7/whatever", "Error/3/"},
      {"no slash at all", "Error/3/"},
      {"/3/", "Ok"},
  };
  for (const auto& [line, expected] : cases) {
    client.sendLine(line);
    const std::optional<std::string> reply = client.readLine();
    ASSERT_TRUE(reply.has_value()) << line;
    EXPECT_EQ(reply->rfind(expected, 0), 0u) << line << " -> " << *reply;
  }
}

TEST_F(AgentEndToEnd, ClientLeavingInTheMiddleOfAFileDoesNotStopTheAgent) {
  startAgent();
  {
    RawAgentClient client = connectAndOpen();
    execute(client, "create table big (id integer, v varchar(40))");
    // Hex of fresh UUIDs packs poorly, so the stream outgrows the socket buffers.
    execute(client,
            "execute block as declare i integer = 0; begin while (i < 300000) do begin "
            "insert into big values (:i, uuid_to_char(gen_uuid())); i = i + 1; end end");
    client.sendLine("/1/select * from big");
    const std::optional<std::string> first = client.readLine();
    ASSERT_TRUE(first && first->rfind("Ok/", 0) == 0);
    ASSERT_EQ(client.readLine(), "Ok");
    client.sendLine("/4/" + first->substr(3));
    ASSERT_EQ(client.readLine(), "Ok");
    EXPECT_GT(client.readExactly(4).size(), 0u);
    client.readExactly(1000);
  }  // gone with most of the block unread

  EXPECT_TRUE(eventually([&] { return readFile(logPath()).find("connection lost") != std::string::npos; }))
      << readFile(logPath());
  EXPECT_TRUE(agent_->running());
  RawAgentClient next = connectAndOpen();
  EXPECT_EQ(selectAndFetch(next, "/1/select count(*) from big"), "300000\r\n");
}

TEST_F(AgentEndToEnd, StatementOfAClientThatLeftWhileItRanIsCommittedAllTheSame) {
  startAgent();
  {
    RawAgentClient client = connectAndOpen();
    execute(client, "create table t (id integer)");
    // Inserts at once, then keeps the server busy far longer than the client takes to leave.
    client.sendLine(
        "/0/execute block as declare i integer = 0; begin insert into t values (1); "
        "while (i < 3000000) do i = i + 1; end");
  }
  EXPECT_TRUE(eventually([&] {
    return readFile(logPath()).find("left before the statement ended; committed") != std::string::npos;
  })) << readFile(logPath());
  EXPECT_EQ(testing_support::resultRowsOf(*site_, "select count(*) from t"), "1\r\n");
  EXPECT_TRUE(agent_->running());
}

TEST_F(AgentEndToEnd, SelectOfAClientThatLeftIsStoppedNotRunToItsEnd) {
  startAgent();
  {
    RawAgentClient client = connectAndOpen();
    // Millions of rows: far more than the time the client takes to leave.
    client.sendLine(
        "/1/select a.rdb$type_name, b.rdb$type_name, c.rdb$type_name "
        "from rdb$types a, rdb$types b, rdb$types c");
    const std::optional<std::string> first = client.readLine();
    ASSERT_TRUE(first && first->rfind("Ok/", 0) == 0) << first.value_or("<closed>");
  }
  EXPECT_TRUE(eventually([&] { return readFile(logPath()).find("select abandoned") != std::string::npos; }))
      << readFile(logPath());
  EXPECT_TRUE(eventually([&] { return std::filesystem::is_empty(resultsDirectory()); }));
  RawAgentClient next = connectAndOpen();
  EXPECT_EQ(selectAndFetch(next, "/1/select 5 from rdb$database"), "5\r\n");
}

TEST_F(AgentEndToEnd, ResultLostFromDiskFailsItsFetchAndKeepsTheConnectionInStep) {
  startAgent();
  RawAgentClient client = connectAndOpen();
  client.sendLine("/1/select 1 from rdb$database");
  const std::optional<std::string> first = client.readLine();
  ASSERT_TRUE(first && first->rfind("Ok/", 0) == 0);
  ASSERT_EQ(client.readLine(), "Ok");
  // Someone cleaned the agent's directory behind its back.
  for (const auto& entry : std::filesystem::directory_iterator(resultsDirectory())) {
    std::filesystem::remove(entry.path());
  }
  client.sendLine("/4/" + first->substr(3));
  const std::optional<std::string> reply = client.readLine();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->rfind("Error/6/", 0), 0u) << *reply;
  EXPECT_EQ(selectAndFetch(client, "/1/select 2 from rdb$database"), "2\r\n");
}

TEST_F(AgentEndToEnd, ResultFilesGoWhenTheirConnectionEnds) {
  startAgent();
  {
    RawAgentClient client = connectAndOpen();
    EXPECT_EQ(selectAndFetch(client, "/1/select 1 from rdb$database"), "1\r\n");
    EXPECT_FALSE(std::filesystem::is_empty(resultsDirectory()));
  }
  const std::filesystem::path results = resultsDirectory();
  ASSERT_FALSE(results.empty());
  EXPECT_TRUE(eventually([&] { return std::filesystem::is_empty(results); }));
  // A stopped agent leaves nothing behind.
  EXPECT_EQ(agent_->stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(results));
}

TEST_F(AgentEndToEnd, ClientsAreServedOneAfterAnotherAndSideBySide) {
  startAgent();
  RawAgentClient idle = connect();  // connected and silent: must not keep others out
  for (int i = 0; i < 3; ++i) {
    RawAgentClient client = connectAndOpen();
    EXPECT_EQ(selectAndFetch(client, "/1/select " + std::to_string(i) + " from rdb$database"),
              std::to_string(i) + "\r\n");
  }
  idle.sendLine("/3/");
  EXPECT_EQ(idle.readLine(), "Ok");
  // Stopping does not wait for a connected client to leave on its own.
  EXPECT_EQ(agent_->stop(), 0);
  EXPECT_TRUE(idle.closedByPeer());
}

TEST_F(AgentEndToEnd, OverLongCommandLineIsRefusedAndTheConnectionClosed) {
  startAgent();
  RawAgentClient client = connect();
  const std::string line = "/0/" + std::string(2 << 20, 'x');
  // Sent beside the read: the agent stops reading long before the line is out.
  std::thread writer([&] {
    try {
      client.sendLine(line);
    } catch (const SocketError&) {
      // The agent closed before the whole line was out.
    }
  });
  const std::optional<std::string> reply = client.readLine();
  writer.join();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->rfind("Error/3/", 0), 0u);
  EXPECT_TRUE(client.closedByPeer());
  EXPECT_TRUE(agent_->running());
}

TEST_F(AgentEndToEnd, FirstLogLineNamesTheAgentsAndTheFirebirdClientsVersions) {
  startAgent();
  const std::string log = readFile(logPath());
  const std::string first = log.substr(0, log.find('\n'));
  // After the time stamp "dd.mm.yyyy hh:nn:ss ".
  ASSERT_GT(first.size(), 20u) << log;
  EXPECT_EQ(first.substr(20), "mirrox-agent " + std::string(kMirroxVersion) + " (Firebird client " +
                                  fb::clientVersion() +
                                  ") listening on 127.0.0.1:" + std::to_string(agent_->port()));
  EXPECT_EQ(fb::clientVersion().rfind("LI-V", 0), 0u) << fb::clientVersion();
}

TEST(AgentCommandLine, HelpListsTheOptionsAndExitsCleanly) {
  const testing_support::Finished help = testing_support::runAgentToExit({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--no-statements"), std::string::npos) << help.out;
}

// A plain TCP connection to the agent from the loopback address `source`; its descriptor.
int connectFrom(const char* source, std::uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, source, &local.sin_addr);
  EXPECT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0) << std::strerror(errno);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(port);
  ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
  EXPECT_EQ(::connect(fd.get(), reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0)
      << std::strerror(errno);
  return fd.release();
}

TEST_F(AgentEndToEnd, ClientFromAnAddressNotAllowedIsClosedAtOnceAndLogged) {
  startAgent({"--allow", "127.0.0.1"});
  {
    // 127.0.0.2 is this machine too, but not the allowed address: the connection ends unanswered.
    const UniqueFd refused(connectFrom("127.0.0.2", agent_->port()));
    const std::string line = "/2/" + site_->path().string() + "\r\n";
    ::send(refused.get(), line.data(), line.size(), MSG_NOSIGNAL);
    pollfd ready{refused.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 20000), 1);
    char byte = 0;
    EXPECT_LE(::recv(refused.get(), &byte, 1, 0), 0) << "the refused client got an answer";
  }
  EXPECT_TRUE(eventually([&] {
    return readFile(logPath()).find("127.0.0.2:") != std::string::npos &&
           readFile(logPath()).find(" refused: not an allowed address") != std::string::npos;
  })) << readFile(logPath());
  EXPECT_EQ(readFile(logPath()).find("/2/"), std::string::npos) << "a refused client's line was read";
  // The allowed address is served as before.
  RawAgentClient allowed = connectAndOpen();
  EXPECT_EQ(selectAndFetch(allowed, "/1/select 7 from rdb$database"), "7\r\n");
}

TEST_F(AgentEndToEnd, SighupReopensTheLogSoThatARotatedLogNeedsNoCopy) {
  startAgent();
  {
    RawAgentClient first = connectAndOpen();
    execute(first, "create table t (id integer)");
  }
  const auto rotated = dir_.path() / "agent.log.1";
  std::filesystem::rename(logPath(), rotated);
  ASSERT_EQ(::kill(agent_->pid(), SIGHUP), 0);
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(logPath()); }));
  RawAgentClient client = connectAndOpen();
  EXPECT_EQ(selectAndFetch(client, "/1/select 8 from rdb$database"), "8\r\n");
  EXPECT_TRUE(agent_->running());
  const std::string before = readFile(rotated);
  EXPECT_NE(before.find("create table t"), std::string::npos) << before;
  EXPECT_TRUE(eventually([&] { return readFile(logPath()).find("select 8") != std::string::npos; }))
      << readFile(logPath());
  EXPECT_NE(readFile(logPath()).find("log reopened"), std::string::npos);
  EXPECT_EQ(readFile(rotated).find("select 8"), std::string::npos);
}

TEST_F(AgentEndToEnd, ResultFilesLiveInTheGivenDirectoryWhileTheirConnectionLasts) {
  const auto results = dir_.path() / "results";
  std::filesystem::create_directory(results);
  startAgent({"--results", results.string()});
  const auto filesUnder = [&] {
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(results)) {
      if (entry.is_regular_file()) ++files;
    }
    return files;
  };
  {
    RawAgentClient client = connectAndOpen();
    client.sendLine("/1/select 9 from rdb$database");
    EXPECT_EQ(client.readLine().value_or("").rfind("Ok/", 0), 0u);
    EXPECT_EQ(client.readLine(), "Ok");
    EXPECT_GE(filesUnder(), 1u);
  }
  EXPECT_TRUE(eventually([&] { return filesUnder() == 0; }));
  agent_->stop();
  EXPECT_TRUE(std::filesystem::is_empty(results))
      << "the agent's own directory inside stays after it stopped";
}

TEST(AgentCommandLine, ConfigurationFileWithAnUnknownKeyOrABadValueStartsNothing) {
  // Were the bad line ignored, the agent would start: the rest of the file is a working one.
  testing_support::TempDir dir;
  const std::string file = (dir / "agent.conf").string();
  testing_support::writeFile(dir / "agent.conf", "port = 0\nbind = 127.0.0.1\nallow = dispatch.example\n");
  const testing_support::Finished badValue = testing_support::runAgentToExit({"--config", file});
  EXPECT_EQ(badValue.exitCode, 2);
  EXPECT_EQ(badValue.err,
            "mirrox-agent: " + file +
                ":3: allow = dispatch.example: not an IPv4 address or ADDRESS/PREFIX (0 to 32)\n");
  EXPECT_EQ(badValue.out, "");
  testing_support::writeFile(dir / "agent.conf", "port = 0\nbind = 127.0.0.1\nalow = 192.0.2.10\n");
  const testing_support::Finished unknownKey = testing_support::runAgentToExit({"--config", file});
  EXPECT_EQ(unknownKey.exitCode, 2);
  EXPECT_EQ(unknownKey.err, "mirrox-agent: " + file + ":3: unknown key: alow (see mirrox-agent --help)\n");
  EXPECT_EQ(unknownKey.out, "");
}

TEST_F(AgentEndToEnd, ConfigurationFileOptionsApplyAndTheCommandLineOverridesThem) {
  // The file allows only 127.0.0.2 and asks for port 1 (the command line's port 0 wins).
  testing_support::writeFile(dir_.path() / "agent.conf", "port = 1\nallow = 127.0.0.2\n");
  startAgent({"--config", (dir_.path() / "agent.conf").string()});
  RawAgentClient client = connect();
  EXPECT_EQ(client.readLine(), std::nullopt) << "127.0.0.1 is not allowed by the file";
  EXPECT_TRUE(eventually([&] { return readFile(logPath()).find("refused") != std::string::npos; }));
}

TEST(AgentCommandLine, VersionIsTheBuildsAndNothingIsStarted) {
  const testing_support::Finished version = testing_support::runAgentToExit({"--version", "--port", "0"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "mirrox-agent " + std::string(kMirroxVersion) + "\n");
}

TEST(AgentCommandLine, BadOrUnknownOptionIsRefusedNamingItAndNothingStarts) {
  // The other options would start an agent: only the refusal keeps it from listening.
  const testing_support::Finished bad =
      testing_support::runAgentToExit({"--bind", "127.0.0.1", "--port", "0", "--lock-timeout", "forever"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.err, "mirrox-agent: --lock-timeout: not a number of seconds (1 to 32767): forever\n");
  EXPECT_EQ(bad.out, "");
  const testing_support::Finished unknown =
      testing_support::runAgentToExit({"--bind", "127.0.0.1", "--port", "0", "--verbose"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err, "mirrox-agent: unknown option: --verbose (see --help)\n");
  EXPECT_EQ(unknown.out, "");
}

TEST(AgentCommandLine, UnwritableLogIsReportedAtStart) {
  const testing_support::Finished started = testing_support::runAgentToExit(
      {"--bind", "127.0.0.1", "--port", "0", "--log", "/no/such/dir/agent.log"});
  EXPECT_EQ(started.exitCode, 1);
  EXPECT_NE(started.err.find("cannot open log file /no/such/dir/agent.log"), std::string::npos)
      << started.err;
}

TEST(AgentCommandLine, MissingPlaceForResultsIsReportedAtStart) {
  const testing_support::Finished started =
      testing_support::runAgentToExit({"--bind", "127.0.0.1", "--port", "0"}, {"TMPDIR=/no/such/dir"});
  EXPECT_EQ(started.exitCode, 1);
  EXPECT_NE(started.err.find("cannot create a directory for results"), std::string::npos) << started.err;
}

TEST(AgentCommandLine, PortInUseIsReportedNotIgnored) {
  testing_support::TempDir dir;
  AgentProcess first(dir.path(), {});
  const testing_support::Finished second =
      testing_support::runAgentToExit({"--bind", "127.0.0.1", "--port", std::to_string(first.port())});
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(second.err.find("Address already in use"), std::string::npos) << second.err;
}

}  // namespace
}  // namespace mirrox::agent

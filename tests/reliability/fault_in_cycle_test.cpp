// A fault hits one object of three while the scheduler replicates them all. The scheduler must go on
// with the others in the same cycle, the faulted run must fail with a message that says what failed,
// the site must keep every captured row, and the next cycle must apply each of them exactly once.
// The program runs in namespaces of the test's own (network and mounts) with a Firebird server of
// its own, so a test may stop that server in the middle of a batch or mount the Log directory
// read-only without touching anything outside.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/database.h"
#include "engine/engine_messages.h"
#include "engine/local_connection.h"
#include "engine/local_upgrade.h"
#include "engine/prepare_remote.h"
#include "engine/replicate_object.h"
#include "engine/upgrade_scripts.h"
#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "link/result_file.h"
#include "link/send_command.h"
#include "link/tcp_client.h"
#include "shell/object_registry.h"
#include "shell/replication_thread.h"
#include "tests/reliability/fault_proxy.h"
#include "tests/reliability/metering_site_fixture.h"
#include "tests/support/agent_process.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_scheduler_console.h"
#include "tests/support/manual_clock.h"
#include "tests/support/private_firebird_server.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox::reliability {
namespace {

using testing_support::ScratchDatabase;

constexpr char kBanner[] = "Р Е П Л И К А Ц И Я    Д А Н Н Ы Х   . . .";
// The object the fault hits; the others sit before and after it.
constexpr int kFaulted = 1;
constexpr int kObjects = 3;

// Why the namespaces could not be entered (empty when they were); main() sets it before any test.
std::string& namespaceRefusal() {
  static std::string why;
  return why;
}

enum class Fault {
  ConnectionReset,
  AgentKilled,
  SiteLocked,
  LogDirectoryFull,
  LogDirectoryReadOnly,
  ServerStopped
};

struct FaultCase {
  Fault fault;
  std::int32_t dbType;
  const char* name;
};

struct Outcome {
  int result = -1;
  std::string text;
};

// One site: its database, its agent, and the relay its object reaches the agent through.
struct Site {
  std::int32_t dbType = DbTypeMetering;
  std::optional<ScratchDatabase> database;
  std::unique_ptr<testing_support::AgentProcess> agent;
  std::unique_ptr<FaultProxy> proxy;
  std::filesystem::path agentDirectory;
  // Rows written at the site so far (archive rows or requests).
  int rows = 0;
};

class FaultInCycle : public ::testing::TestWithParam<FaultCase> {
 protected:
  static void SetUpTestSuite() {
    if (!namespaceRefusal().empty()) return;
    serverDir_ = std::make_unique<testing_support::TempDir>();
    server_ = std::make_unique<testing_support::PrivateFirebirdServer>(
        serverDir_->path() / "firebird", std::filesystem::path(MIRROX_BIN_DIR) / "testudf.dll");
  }
  static void TearDownTestSuite() {
    // The server first: its files are in the directory.
    server_.reset();
    serverDir_.reset();
  }

  void SetUp() override {
    if (!namespaceRefusal().empty()) GTEST_SKIP() << namespaceRefusal();
    testing_support::openToServer(dir_.path());
    for (const char* name : {"sites", "local", "Log"}) std::filesystem::create_directory(dir_.path() / name);
    localMetering_.emplace(
        ScratchDatabase::fromTemplate(dir_.path() / "local", "central.fdb", DbTypeMetering));
    localJournal_.emplace(ScratchDatabase::fromTemplate(dir_.path() / "local", "journal.db", DbTypeJournal));
    // A metering site before the fault, a journal site after it.
    const std::int32_t types[kObjects] = {DbTypeMetering, GetParam().dbType, DbTypeJournal};
    for (int i = 0; i < kObjects; ++i) {
      Site& site = sites_[i];
      site.dbType = types[i];
      site.database.emplace(ScratchDatabase::fromTemplate(dir_.path() / "sites",
                                                          "site" + std::to_string(i) + ".fdb", site.dbType));
      startAgent(i);
      site.proxy = std::make_unique<FaultProxy>(site.agent->port());
    }
  }

  void startAgent(int i) {
    Site& site = sites_[i];
    site.agentDirectory =
        dir_.path() / ("agent" + std::to_string(i) + "-" + std::to_string(++agentsStarted_));
    std::filesystem::create_directory(site.agentDirectory);
    site.agent = std::make_unique<testing_support::AgentProcess>(
        site.agentDirectory, std::vector<std::string>{"--password", Database::kPassword});
    if (site.proxy) site.proxy->setAgentPort(site.agent->port());
  }

  void writeSettings() const {
    std::string ini = "[Main]\r\nperiod=1\r\nchk=0\r\n";
    for (int i = 0; i < kObjects; ++i) {
      const Site& site = sites_[i];
      const ScratchDatabase& local = site.dbType == DbTypeMetering ? *localMetering_ : *localJournal_;
      ini += "[" + std::to_string(i + 1) + "]\r\nods=Site " + std::to_string(i) +
             "\r\nhost=127.0.0.1\r\nport=" + std::to_string(site.proxy->port()) +
             "\r\ndb_path=" + local.path().string() + "\r\nremote_db_path=" + site.database->path().string() +
             "\r\ndb_type=" + std::to_string(site.dbType) + "\r\n";
    }
    testing_support::writeFile(dir_.path() / "mirrox.ini", ini);
  }

  // The address data of a metering site, or the procedures a journal site's dispatch program
  // writes its requests through.
  void fillSite(int i) {
    const ScratchDatabase& site = *sites_[i].database;
    if (sites_[i].dbType == DbTypeMetering) {
      addMeteringChannel(site);
      return;
    }
    LocalConnection connection;
    connection.DB.setDatabaseName(site.connectionName());
    connection.DB.connect();
    ASSERT_FALSE(ExecLocalStatement(connection, JournalUpgradeScript[0]));
    ASSERT_FALSE(ExecLocalStatement(connection, JournalUpgradeScript[1]));
  }

  // Archive rows a minute apart, or requests a minute apart at the site's own address.
  void addRows(int i, int count) {
    Site& site = sites_[i];
    if (site.dbType == DbTypeMetering) {
      addArchiveRows(*site.database, site.rows, count);
    } else {
      site.database->exec(
          "execute block as declare i integer = " + std::to_string(site.rows) + "; begin while (i < " +
          std::to_string(site.rows + count) +
          ") do begin execute procedure REPL_ZAYAVKA (7, dateadd(:i minute to timestamp "
          "'2024-03-01 00:00:00'), null, 0, 'N-' || :i, '" +
          address(i) +
          "', 'Leak', 'Water', 'Ivanov', 'Fitter', 'wet', 'fixed', '555-01', 2, 3); i = i + 1; "
          "end end");
    }
    site.rows += count;
  }

  static std::string address(int i) { return "Site " + std::to_string(i) + " st 1"; }

  // Rows captured at the site and not yet purged.
  std::int64_t captured(int i) const {
    const Site& site = sites_[i];
    return site.database->scalar(site.dbType == DbTypeMetering
                                     ? "select count(*) from REP_RASHOD2004"
                                     : "select count(*) from R_CLIENT where STATUS in (2, 3)");
  }

  // The object's rows in the local database, and how many of them are distinct.
  std::pair<std::int64_t, std::int64_t> applied(int i) const {
    if (sites_[i].dbType == DbTypeMetering) {
      // Ids are qualified by the object's position.
      const std::string channel = std::to_string(i * 100000 + MeteringSiteFixture::kSiteChannel);
      return {localMetering_->scalar("select count(*) from RASHOD2004 where CHANNEL_ID = " + channel),
              localMetering_->scalar("select count(distinct REC_DATE) from RASHOD2004 where CHANNEL_ID = " +
                                     channel)};
    }
    const std::string where =
        " from JOURNAL_PEOPLE_ALERTS j join ADDRESS a on a.ID_ADDRESS = j.ADDRESS_ID "
        "where a.NAME = '" +
        address(i) + "'";
    return {localJournal_->scalar("select count(*)" + where),
            localJournal_->scalar("select count(distinct j.DATE_OPEN)" + where)};
  }

  const ScratchDatabase& localOf(int i) const {
    return sites_[i].dbType == DbTypeMetering ? *localMetering_ : *localJournal_;
  }

  // The fault's rows: enough for a batch that lasts while the server is stopped under it.
  int faultedRows() const {
    if (GetParam().fault != Fault::ServerStopped) return 50;
    return GetParam().dbType == DbTypeMetering ? 20000 : 5000;
  }

  // How the statement of the batch the server is stopped under begins.
  std::string batchStatementStart() const {
    return GetParam().dbType == DbTypeMetering ? "execute procedure REPL_DATA"
                                               : "execute procedure REPL_ZAYAVKA";
  }

  std::string selectCommand() const {
    return GetParam().dbType == DbTypeMetering ? OriginalRep::CmdSelectArchive.Cmd
                                               : JournalRep::CmdSelectRequests.Cmd;
  }

  // Sets the fault up just before the faulted run; what must run beside the run goes to `watcher_`.
  void arm();
  // Takes the fault away once the faulted run has ended.
  void disarm();
  // What the faulted run must have said and returned.
  void expectFailure(const Outcome& outcome, const std::vector<std::string>& log) const;

  testing_support::TempDir dir_;
  std::optional<ScratchDatabase> localMetering_;
  std::optional<ScratchDatabase> localJournal_;
  Site sites_[kObjects];
  int agentsStarted_ = 0;
  std::thread watcher_;
  std::optional<LocalConnection> writer_;
  bool watched_ = false;

  static std::unique_ptr<testing_support::TempDir> serverDir_;
  static std::unique_ptr<testing_support::PrivateFirebirdServer> server_;
};

std::unique_ptr<testing_support::TempDir> FaultInCycle::serverDir_;
std::unique_ptr<testing_support::PrivateFirebirdServer> FaultInCycle::server_;

// One value from a fresh transaction on an open connection (the monitoring tables are a snapshot
// per transaction).
std::int64_t freshScalar(LocalConnection& connection, const std::string& select) {
  connection.TR.start();
  connection.Qr.setSql(select);
  connection.Qr.execute();
  const std::int64_t value = connection.Qr.fetchInt64().value_or(0);
  connection.Qr.close();
  connection.TR.commit();
  return value;
}

void FaultInCycle::arm() {
  Site& site = sites_[kFaulted];
  switch (GetParam().fault) {
    case Fault::ConnectionReset:
      site.proxy->resetAfter(selectCommand());
      return;
    case Fault::AgentKilled:
      watcher_ = std::thread([this, &site] {
        // The select's command line reaches the agent's log before the agent runs it.
        watched_ = testing_support::waitForText(site.agentDirectory / "agent.err", selectCommand(),
                                                std::chrono::seconds(60));
        if (watched_) site.agent->kill();
      });
      return;
    case Fault::SiteLocked: {
      holdUncommittedUpdate(writer_.emplace(), *site.database,
                            GetParam().dbType == DbTypeMetering
                                ? "update REP_RASHOD2004 set STATUS = STATUS"
                                : "update R_CLIENT set STATUS = STATUS where STATUS = 2");
      const std::string mark = GetParam().dbType == DbTypeMetering ? OriginalRep::CmdMarkArchive.Param
                                                                   : JournalRep::CmdMarkRequests.Param;
      watcher_ = std::thread([this, &site, mark] {
        // Once the mark waits for the writer's lock, the writer commits: the mark meets an update
        // conflict at once instead of after the agent's 20-second lock timeout.
        watched_ = testing_support::eventually([&] { return markWaitsForLock(*site.database, mark); },
                                               std::chrono::seconds(15));
        writer_->TR.commit();
      });
      return;
    }
    case Fault::LogDirectoryFull: {
      // The previous object's result file is still there.
      const std::filesystem::path file = dir_.path() / "Log" / kCompressedResultFileName;
      std::filesystem::remove(file);
      std::filesystem::create_symlink("/dev/full", file);
      return;
    }
    case Fault::LogDirectoryReadOnly: {
      const std::string log = (dir_.path() / "Log").string();
      if (::mount("mirrox-log", log.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0) {
        ADD_FAILURE() << "cannot mount a read-only file system on " << log << ": " << std::strerror(errno);
      }
      return;
    }
    case Fault::ServerStopped: {
      const std::string local = localOf(kFaulted).connectionName();
      watcher_ = std::thread([this, local] {
        {
          LocalConnection monitor;
          monitor.DB.setDatabaseName(local);
          monitor.DB.connect();
          monitor.Qr.setParamCheck(false);
          // Well into the batch: a few hundred rows inserted by a transaction of the attachment
          // that has the batch's statement prepared. (The schema upgrade of a fresh local
          // database inserts hundreds of rows into the system tables before any batch.)
          watched_ = testing_support::eventually(
              [&] {
                return freshScalar(
                           monitor,
                           "select count(*) from MON$TRANSACTIONS t join MON$RECORD_STATS r on "
                           "r.MON$STAT_ID = t.MON$STAT_ID where r.MON$RECORD_INSERTS > 200 and exists "
                           "(select 1 from MON$STATEMENTS s where s.MON$ATTACHMENT_ID = t.MON$ATTACHMENT_ID "
                           "and s.MON$SQL_TEXT starting with '" +
                               batchStatementStart() + "')") > 0;
              },
              std::chrono::seconds(60));
        }
        if (!watched_) return;
        // Killed: an orderly stop may let the server finish the batch's statements before it
        // goes, and then nothing would land inside the batch.
        server_->stop(SIGKILL);
        server_->start();
      });
      return;
    }
  }
}

void FaultInCycle::disarm() {
  if (watcher_.joinable()) watcher_.join();
  writer_.reset();
  switch (GetParam().fault) {
    case Fault::AgentKilled:
      startAgent(kFaulted);
      return;
    case Fault::LogDirectoryFull:
      std::filesystem::remove(dir_.path() / "Log" / kCompressedResultFileName);
      return;
    case Fault::LogDirectoryReadOnly:
      ::umount((dir_.path() / "Log").c_str());
      return;
    default:
      return;
  }
}

void FaultInCycle::expectFailure(const Outcome& outcome, const std::vector<std::string>& log) const {
  const std::string& said = outcome.text;
  EXPECT_NE(said.find("\r\n-------"), std::string::npos) << said;
  switch (GetParam().fault) {
    case Fault::ConnectionReset:
      EXPECT_TRUE(sites_[kFaulted].proxy->resetDone());
      EXPECT_EQ(outcome.result, kSendBroken) << said;
      EXPECT_NE(said.find("Connection reset by peer"), std::string::npos) << said;
      return;
    case Fault::AgentKilled:
      EXPECT_TRUE(watched_) << "the select never reached the agent";
      EXPECT_TRUE(outcome.result == kSendBroken || outcome.result == kSendFileNotReceived) << said;
      return;
    case Fault::SiteLocked:
      EXPECT_TRUE(watched_) << "the mark never waited for the writer's lock";
      EXPECT_EQ(outcome.result, kSendFailed) << said;
      EXPECT_NE(said.find("update conflicts with concurrent update"), std::string::npos) << said;
      return;
    case Fault::LogDirectoryFull:
      EXPECT_EQ(outcome.result, kSendFileNotReceived) << said;
      EXPECT_EQ(said.rfind("Ошибка получения файла", 0), 0u) << said;
      return;
    case Fault::LogDirectoryReadOnly:
      // The result file cannot even be created; the connection is dropped with the block unread.
      EXPECT_EQ(outcome.result, kSendBroken) << said;
      EXPECT_EQ(said.rfind("Невозможно создать файл \"" +
                               (dir_.path() / "Log" / kCompressedResultFileName).string() +
                               "\". Read-only file system",
                           0),
                0u)
          << said;
      return;
    case Fault::ServerStopped: {
      EXPECT_TRUE(watched_) << "the batch was over before the server could be stopped";
      EXPECT_EQ(outcome.result, 1) << said;
      // The batch's failure is logged with the client library's reason. A metering run ends with
      // it; a journal run goes on to the events, which here meet the same stopped server at the site.
      const std::string failure = std::string(messages::kBatchFailed) + "Error ";
      std::string logged;
      for (const std::string& line : log) {
        if (line.rfind(failure, 0) == 0) logged = line;
      }
      EXPECT_NE(logged.find("connection"), std::string::npos) << said;
      if (GetParam().dbType == DbTypeMetering) {
        EXPECT_EQ(said.rfind(failure, 0), 0u) << said;
      }
      return;
    }
  }
}

TEST_P(FaultInCycle, FailsThatRunOnlyAndTheNextCycleAppliesEveryRowOnce) {
  writeSettings();
  testing_support::ManualClock clock(encodeDateTime({2026, 12, 9, 12, 0, 0, 0}));
  testing_support::FakeSchedulerConsole console;
  console.periodMinutes = 1;
  ObjectRegistry registry(dir_.path() / "mirrox.ini", clock, console);
  registry.LoadObjects();
  ASSERT_EQ(registry.count(), kObjects);

  TcpClient tcp;
  LocalConnection local;
  std::atomic<int> cycle{0};
  std::map<std::pair<int, int>, Outcome> outcomes;  // by cycle and object
  std::int64_t capturedBeforeFault = -1;
  std::int64_t capturedAfterFault = -1;
  std::pair<std::int64_t, std::int64_t> appliedAfterFault;
  TReplicationThread thread(console, registry, tcp, local, clock, dir_.path() / "Log",
                            [&](TReplicationThread& t, int index) {
                              const bool faulted = cycle == 1 && index == kFaulted;
                              if (faulted) {
                                capturedBeforeFault = captured(index);
                                arm();
                              }
                              const int result = ReplicateObject(t, index);
                              if (faulted) {
                                disarm();
                                capturedAfterFault = captured(index);
                                appliedAfterFault = applied(index);
                              }
                              outcomes[{cycle.load(), index}] = {result, t.StatusText};
                              return result;
                            });
  // Capture is installed through the agents while the scheduler is still suspended, as the
  // console's preparation command does; the rows come afterwards, so they are captured.
  for (int i = 0; i < kObjects; ++i) {
    ASSERT_EQ(PrepareRemoteDatabase(thread, i), 0) << thread.StatusText;
    fillSite(i);
    addRows(i, i == kFaulted ? faultedRows() : 5);
  }

  bool inCycle = false;
  console.onStatus = [&](const std::string& text) {
    if (text == kBanner) {
      // Every cycle carries new rows besides whatever a fault left behind.
      if (++cycle > 1) {
        for (int i = 0; i < kObjects; ++i) addRows(i, 2);
      }
      inCycle = true;
      return;
    }
    // The first countdown after the banner ends the cycle; two cycles are enough.
    if (inCycle && cycle >= 2) thread.requestStop();
    inCycle = false;
  };
  ASSERT_TRUE(testing_support::runSchedulerToItsEnd(thread, std::chrono::minutes(10)));
  local.DB.disconnect();
  ASSERT_EQ(cycle, 2);

  // The faulted run failed as it should and lost nothing; the others in its cycle went on.
  expectFailure((outcomes[{1, kFaulted}]), console.log);
  EXPECT_EQ(capturedAfterFault, capturedBeforeFault);
  EXPECT_GT(capturedAfterFault, 0);
  EXPECT_EQ(appliedAfterFault.first, appliedAfterFault.second) << "a row arrived twice";
  for (int i = 0; i < kObjects; ++i) {
    if (i != kFaulted) {
      EXPECT_EQ((outcomes[{1, i}].result), 0) << "object " << i << ": " << outcomes[{1, i}].text;
    }
  }
  // The next cycle brought every row, each once, and left nothing captured.
  for (int i = 0; i < kObjects; ++i) {
    EXPECT_EQ((outcomes[{2, i}].result), 0) << "object " << i << ": " << outcomes[{2, i}].text;
    EXPECT_EQ(applied(i), std::make_pair(std::int64_t{sites_[i].rows}, std::int64_t{sites_[i].rows}))
        << "object " << i;
    EXPECT_EQ(captured(i), 0) << "object " << i;
    EXPECT_TRUE(registry.at(i).LinkOk) << "object " << i;
  }
}

std::string caseName(const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultInCycle,
    ::testing::Values(FaultCase{Fault::ConnectionReset, DbTypeMetering,
                                "ConnectionResetDuringMeteringSelect"},
                      FaultCase{Fault::ConnectionReset, DbTypeJournal, "ConnectionResetDuringJournalSelect"},
                      FaultCase{Fault::AgentKilled, DbTypeMetering, "AgentKilledAtMeteringSelect"},
                      FaultCase{Fault::AgentKilled, DbTypeJournal, "AgentKilledAtJournalSelect"},
                      FaultCase{Fault::SiteLocked, DbTypeMetering, "MeteringSiteLockedByWriter"},
                      FaultCase{Fault::SiteLocked, DbTypeJournal, "JournalSiteLockedByWriter"},
                      FaultCase{Fault::LogDirectoryFull, DbTypeMetering, "LogDirectoryFullMetering"},
                      FaultCase{Fault::LogDirectoryFull, DbTypeJournal, "LogDirectoryFullJournal"},
                      FaultCase{Fault::LogDirectoryReadOnly, DbTypeMetering, "LogDirectoryReadOnlyMetering"},
                      FaultCase{Fault::LogDirectoryReadOnly, DbTypeJournal, "LogDirectoryReadOnlyJournal"},
                      FaultCase{Fault::ServerStopped, DbTypeMetering, "ServerStoppedInMeteringBatch"},
                      FaultCase{Fault::ServerStopped, DbTypeJournal, "ServerStoppedInJournalBatch"}),
    caseName);

}  // namespace
}  // namespace mirrox::reliability

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Before any thread exists: a process may only enter a mount namespace while it has one thread.
  std::string& why = mirrox::reliability::namespaceRefusal();
  if (::geteuid() != 0) {
    why = "a private network and mount namespace needs root";
  } else if (::unshare(CLONE_NEWNS) != 0 ||
             ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    why = std::string("cannot enter a mount namespace of its own: ") + std::strerror(errno);
  } else {
    mirrox::testing_support::enterPrivateNetwork(why);
  }
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}

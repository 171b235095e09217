// Load run, on demand (not part of the test suite):
//   cmake --build build --target mirrox_load_run && build/bench/mirrox_load_run [cycles] [objects] [agents]
// Defaults: 5 cycles, 100 objects, 4 agents. Every object has its own site database written from the
// metering template and prepared for capture; object i is served by agent i % agents; all objects
// replicate into one local metering database, their ids qualified by their position. The real
// scheduler runs ReplicateObject for every object on a clock that jumps, so cycles follow at once.
// Before each cycle every site gets one new archive row and a changed current value, so every run
// carries data. After each cycle the program prints the process's resident memory (all of it and
// its anonymous part), the heap malloc has handed out (heap_KiB) and holds free (free_KiB), its
// open file descriptors and the lines the log view keeps, with the cycle's duration and failed runs.
// Resident memory that creeps up while the heap in use stays level is not memory of this program's
// own: every object it allocates is in heap_KiB.
#include <QCoreApplication>
#include <QObject>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/process_memory.h"
#include "engine/database.h"
#include "engine/local_connection.h"
#include "engine/prepare_remote.h"
#include "engine/replicate_object.h"
#include "link/tcp_client.h"
#include "shell/object_registry.h"
#include "shell/replication_thread.h"
#include "tests/support/agent_process.h"
#include "tests/support/fake_scheduler_console.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using bench::heapFigures;
using bench::HeapFigures;
using bench::statusKiB;
using testing_support::ScratchDatabase;
using Steady = std::chrono::steady_clock;

constexpr char kBanner[] = "Р Е П Л И К А Ц И Я    Д А Н Н Ы Х   . . .";
// Rows each site holds before the first cycle.
constexpr int kInitialArchiveRows = 3;

// The console's log view as far as memory goes: CR LF inside a text breaks it into lines, and the
// view is emptied once it holds more than 1024.
class LogView {
 public:
  static constexpr std::size_t kMaxLogViewLines = 1024;

  void add(const std::string& text) {
    // An empty view takes the first text into its one empty block; later texts start new blocks.
    if (lines_.size() == 1 && lines_.front().empty()) lines_.clear();
    std::size_t start = 0;
    while (true) {
      const std::size_t end = text.find("\r\n", start);
      lines_.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
      if (end == std::string::npos) break;
      start = end + 2;
    }
    ++texts_;
    if (lines_.size() > kMaxLogViewLines) {
      lines_.clear();
      lines_.shrink_to_fit();  // the view frees its document too
      ++clears_;
    }
  }

  std::size_t lines() const { return lines_.size(); }
  long texts() const { return texts_; }
  long clears() const { return clears_; }

 private:
  std::vector<std::string> lines_;
  long texts_ = 0;
  long clears_ = 0;
};

long openDescriptors() {
  long count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count - 1;  // the iterator's own descriptor
}

std::string twoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// The same site ids everywhere: the local database tells the objects apart by their position.
std::string siteFill() {
  std::string sql =
      "execute block as begin\n"
      "insert into STREET values (1, 'Lenina', 2, 0, 0, 0);\n"
      "insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (2, 1, '12', '', '');\n"
      "insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID, IP_ADDRESS, IP_PORT, RS_NUM) "
      "values (5, 1, 2, '10.0.0.5', 4001, 3);\n"
      "insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT) "
      "values (17, 5, 1, 1, 555, 2, 0, 0);\n"
      "insert into LASTRHV (CHANNEL_ID, PARAM, R_VALUE, REC_DATE) values (17, 1, 10.5, '2024-02-01 "
      "00:00:00');\n";
  for (int hour = 0; hour < kInitialArchiveRows; ++hour) {
    sql += "insert into RASHOD2004 values (17, 1, '2024-01-01 " + twoDigits(hour) + ":00:00', 1.5);\n";
  }
  return sql + "end";
}

// An isql-fb script that gives every site one new archive row (a day per cycle, so rows never
// collide) and a changed current value. The sites are changed by a child process so that this
// process attaches only where the scheduler does: every attachment of the Firebird client costs
// memory of its own, and the figures are to be those of the replication alone.
std::string cycleChangeScript(const std::vector<ScratchDatabase>& sites, int cycle) {
  const std::string day = twoDigits(1 + cycle % 28);
  const std::string month = twoDigits(2 + cycle / 28 % 10);
  std::string script = "SET TERM ^ ;\n";
  for (const ScratchDatabase& site : sites) {
    script += "CONNECT '" + site.connectionName() + "' USER '" + Database::kUserName + "' PASSWORD '" +
              Database::kPassword + "'^\n";
    script += "execute block as begin\n";
    script += "insert into RASHOD2004 values (17, 1, '2024-" + month + "-" + day + " 05:00:00', " +
              std::to_string(cycle) + ");\n";
    script += "update LASTRHV set R_VALUE = " + std::to_string(cycle) + " where CHANNEL_ID = 17;\n";
    script += "end^\nCOMMIT^\n";
  }
  return script;
}

int argumentOr(int argc, char** argv, int position, int fallback) {
  if (argc <= position) return fallback;
  const int value = std::atoi(argv[position]);
  return value > 0 ? value : fallback;
}

int run(int argc, char** argv) {
  const int cycles = argumentOr(argc, argv, 1, 5);
  const int objectCount = std::min(argumentOr(argc, argv, 2, 100), 100);
  const int agentCount = argumentOr(argc, argv, 3, 4);

  testing_support::TempDir dir;
  testing_support::openToServer(dir.path());
  const auto sitesDir = dir.path() / "sites";
  const auto localDir = dir.path() / "local";
  std::filesystem::create_directory(sitesDir);
  std::filesystem::create_directory(localDir);

  std::cout << "setting up " << objectCount << " site databases, " << agentCount << " agents" << std::endl;
  const ScratchDatabase local = ScratchDatabase::fromTemplate(localDir, "central.fdb", DbTypeMetering);
  std::vector<ScratchDatabase> sites;
  for (int i = 0; i < objectCount; ++i) {
    sites.push_back(
        ScratchDatabase::fromTemplate(sitesDir, "site" + std::to_string(i) + ".fdb", DbTypeMetering));
  }
  std::vector<std::unique_ptr<testing_support::AgentProcess>> agents;
  for (int a = 0; a < agentCount; ++a) {
    const auto agentDir = dir.path() / ("agent" + std::to_string(a));
    std::filesystem::create_directory(agentDir);
    agents.push_back(std::make_unique<testing_support::AgentProcess>(
        agentDir, std::vector<std::string>{"--password", Database::kPassword}));
  }

  std::string ini = "[Main]\r\nperiod=1\r\nchk=0\r\n";
  for (int i = 0; i < objectCount; ++i) {
    const auto& agent = *agents[static_cast<std::size_t>(i % agentCount)];
    ini += "[" + std::to_string(i + 1) + "]\r\nods=Site " + std::to_string(i + 1) +
           "\r\nhost=127.0.0.1\r\nport=" + std::to_string(agent.port()) +
           "\r\ndb_path=" + local.path().string() +
           "\r\nremote_db_path=" + sites[static_cast<std::size_t>(i)].path().string() + "\r\ndb_type=0\r\n";
  }
  testing_support::writeFile(dir.path() / "mirrox.ini", ini);

  testing_support::ManualClock clock(encodeDateTime({2026, 12, 9, 12, 0, 0, 0}));
  // The window keeps nothing but its log view, so that the figures are the program's own.
  testing_support::FakeSchedulerConsole console;
  console.periodMinutes = 1;
  console.keep = false;
  LogView view;
  console.onLogLine = [&view](const std::string& text) { view.add(text); };
  ObjectRegistry registry(dir.path() / "mirrox.ini", clock, console);
  registry.LoadObjects();
  if (registry.count() != objectCount) {
    std::cerr << "the settings file gave " << registry.count() << " objects\n";
    return 1;
  }
  TcpClient tcp;
  LocalConnection localConnection;

  std::atomic<int> failures{0};
  std::mutex firstFailureMutex;
  std::string firstFailure;
  TReplicationThread thread(console, registry, tcp, localConnection, clock, dir.path(),
                            [&](TReplicationThread& t, int index) {
                              const int result = ReplicateObject(t, index);
                              if (result != 0) {
                                ++failures;
                                const std::lock_guard<std::mutex> lock(firstFailureMutex);
                                if (firstFailure.empty()) firstFailure = t.StatusText;
                              }
                              return result;
                            });

  // Capture is installed through the agents, as the console's preparation command does it, while
  // the scheduler is still suspended; the sites are filled afterwards so their rows are captured.
  for (int i = 0; i < objectCount; ++i) {
    if (PrepareRemoteDatabase(thread, i) != 0) {
      std::cerr << "preparing site " << i + 1 << " failed: " << thread.StatusText << "\n";
      return 1;
    }
    sites[static_cast<std::size_t>(i)].exec(siteFill());
  }

  // One row of figures after a cycle (or after setup, with no duration or failures).
  const auto printFigures = [&](const std::string& label, const std::string& seconds,
                                const std::string& failed) {
    const HeapFigures heap = heapFigures();
    std::printf("%-6s %8s %8s %9ld %9ld %9ld %9ld %4ld %9zu %9ld %6ld\n", label.c_str(), seconds.c_str(),
                failed.c_str(), statusKiB("VmRSS"), statusKiB("RssAnon"), heap.usedKiB, heap.freeKiB,
                openDescriptors(), view.lines(), view.texts(), view.clears());
    std::fflush(stdout);
  };
  std::printf("%-6s %8s %8s %9s %9s %9s %9s %4s %9s %9s %6s\n", "cycle", "seconds", "failures", "VmRSS_KiB",
              "anon_KiB", "heap_KiB", "free_KiB", "fds", "log_lines", "log_texts", "clears");
  printFigures("setup", "-", "-");

  int cycle = 0;
  bool inCycle = false;
  int failuresAtStart = 0;
  int changeFailures = 0;
  Steady::time_point started;
  console.onStatus = [&](const std::string& text) {
    if (text == kBanner) {
      ++cycle;
      const auto script = dir.path() / "cycle_change.sql";
      testing_support::writeFile(script, cycleChangeScript(sites, cycle));
      std::string output;
      if (testing_support::runIsql(sites.front().connectionName(), script, output) != 0) {
        ++changeFailures;
        std::cerr << "changing the sites failed: " << output << "\n";
      }
      inCycle = true;
      failuresAtStart = failures;
      started = Steady::now();
      return;
    }
    if (!inCycle) return;
    // The first countdown after the banner: the cycle is over.
    inCycle = false;
    const double seconds = std::chrono::duration<double>(Steady::now() - started).count();
    char secondsText[32];
    std::snprintf(secondsText, sizeof(secondsText), "%.2f", seconds);
    printFigures(std::to_string(cycle), secondsText, std::to_string(failures - failuresAtStart));
    if (cycle >= cycles) thread.requestStop();
  };

  testing_support::runSchedulerToItsEnd(thread, std::chrono::hours(24));
  localConnection.DB.disconnect();

  if (!firstFailure.empty()) std::cout << "first failure: " << firstFailure << "\n";
  const std::int64_t expected = static_cast<std::int64_t>(objectCount) * (kInitialArchiveRows + cycles);
  const std::int64_t arrived = local.scalar("select count(*) from RASHOD2004");
  const std::int64_t leftAtSites = [&] {
    std::int64_t sum = 0;
    for (const ScratchDatabase& site : sites) sum += site.scalar("select count(*) from REP_RASHOD2004");
    return sum;
  }();
  std::cout << "archive rows in the local database: " << arrived << " of " << expected
            << "; captured rows left at the sites: " << leftAtSites
            << "; cycles whose site changes failed: " << changeFailures << std::endl;
  return failures == 0 && changeFailures == 0 && arrived == expected && leftAtSites == 0 ? 0 : 1;
}

}  // namespace
}  // namespace mirrox

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  try {
    return mirrox::run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "load run failed: " << error.what() << "\n";
    return 1;
  }
}

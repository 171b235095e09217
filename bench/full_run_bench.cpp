// A full run of one metering site holding 100,000 captured archive rows, on demand:
//   cmake --build build --target mirrox_full_run_bench && build/bench/mirrox_full_run_bench [rows]
// The site database is written from the metering template, prepared for capture through the
// program's own preparation command and filled; a real mirrox-agent serves it on loopback; the
// engine's ReplicateObject runs once into a local database from the template, all on the local
// server. The program prints the time of each step of the run (from one status text to the next),
// the whole run, the rows per second and the peak resident memory, and exits with 1 unless every
// row arrived exactly once and nothing was left captured at the site.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/db_type.h"
#include "engine/prepare_remote.h"
#include "engine/replicate_object.h"
#include "tests/agent/agent_process.h"
#include "tests/engine/engine_test_context.h"
#include "tests/engine/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using Steady = std::chrono::steady_clock;

long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// The engine's context, with the time each status text was published.
class TimedContext final : public engine_test::EngineTestContext {
 public:
  using EngineTestContext::EngineTestContext;
  void publishStatus() override {
    EngineTestContext::publishStatus();
    stamps.push_back({Steady::now(), statusText()});
  }
  std::vector<std::pair<Steady::time_point, std::string>> stamps;
};

// The first line of a status text, for the table.
std::string firstLine(const std::string& text) {
  const std::size_t end = text.find("\r\n");
  const std::string line = text.substr(0, end);
  return line.empty() ? "(end)" : line;
}

int run(int rows) {
  testing_support::TempDir dir;
  engine_test::openToServer(dir.path());
  for (const char* name : {"site", "local", "log"}) std::filesystem::create_directory(dir.path() / name);
  const auto site = engine_test::ScratchDatabase::fromTemplate(dir.path() / "site", "site.fdb", DbTypeMetering);
  const auto local = engine_test::ScratchDatabase::fromTemplate(dir.path() / "local", "local.fdb", DbTypeMetering);
  agent::testing::AgentProcess agent(dir.path(), {"--password", "quillbarn"});

  // The program's own limits: a select of 100,000 rows may take its time.
  TimedContext context(dir.path() / "log", LinkLimits{});
  context.objects.push_back({{"127.0.0.1", agent.port(), site.path().string(), 0},
                             {"Site", DbTypeMetering, local.path().string(), 0, 0}});
  if (PrepareRemoteDatabase(context, 0) != 0) {
    std::cerr << "preparing the site failed: " << context.lastPublished() << "\n";
    return 1;
  }
  std::cout << "filling the site with " << rows << " archive rows" << std::endl;
  site.exec("insert into STREET values (1, 'Lenina', 2, 0, 0, 0)");
  site.exec("insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (2, 1, '12', '', '')");
  site.exec("insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID) values (5, 1, 2)");
  site.exec("insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT) "
            "values (17, 5, 1, 1, 555, 2, 0, 0)");
  site.exec("insert into LASTRHV (CHANNEL_ID, PARAM, R_VALUE, REC_DATE) values (17, 1, 10.5, '2024-02-01 00:00:00')");
  site.exec("execute block as declare i integer = 0; begin while (i < " + std::to_string(rows) +
            ") do begin insert into RASHOD2004 values (17, 1, dateadd(:i minute to timestamp '2020-01-01 00:00:00'), "
            ":i * 0.25); i = i + 1; end end");

  context.stamps.clear();
  const long peakBefore = peakResidentKiB();
  const Steady::time_point started = Steady::now();
  const std::int32_t result = ReplicateObject(context, 0);
  const double seconds = std::chrono::duration<double>(Steady::now() - started).count();
  context.localConnection().DB.disconnect();

  std::printf("%-28s %9s\n", "step (status text)", "seconds");
  for (std::size_t i = 0; i < context.stamps.size(); ++i) {
    const Steady::time_point end = i + 1 < context.stamps.size() ? context.stamps[i + 1].first : Steady::now();
    std::printf("%-28s %9.2f\n", firstLine(context.stamps[i].second).c_str(),
                std::chrono::duration<double>(end - context.stamps[i].first).count());
  }
  const std::int64_t arrived = local.scalar("select count(*) from RASHOD2004");
  const std::int64_t distinct = local.scalar("select count(distinct REC_DATE) from RASHOD2004");
  const std::int64_t left = site.scalar("select count(*) from REP_RASHOD2004");
  std::printf("whole run: %.2f s, %.0f archive rows/s; result %d\n", seconds, rows / seconds, result);
  std::printf("peak resident memory: %ld KiB before the run, %ld KiB after\n", peakBefore, peakResidentKiB());
  std::printf("local archive rows: %lld (%lld distinct) of %d; left captured at the site: %lld\n",
              static_cast<long long>(arrived), static_cast<long long>(distinct), rows, static_cast<long long>(left));
  return result == 0 && arrived == rows && distinct == rows && left == 0 ? 0 : 1;
}

}  // namespace
}  // namespace mirrox

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  return mirrox::run(rows > 0 ? rows : 100000);
}

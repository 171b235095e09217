// A full run of one metering site that returns with a backlog of captured archive rows, on demand:
//   cmake --build build --target mirrox_full_run_bench && build/bench/mirrox_full_run_bench [rows] [channels]
//   [progress]
// The site database is written from the metering template, prepared for capture through the
// program's own preparation command and filled with `channels` (2,000) of 4 parameters each and
// their hourly values, `rows` in all (1,000,000: about five days of a dispatch centre's meters); a real
// mirrox-agent serves it on loopback; the engine's ReplicateObject runs into a local database from
// the template, all on the local server, with the program's own limits. A run that breaks off at a
// limit is followed by the next run, as the scheduler would do. The program prints the time of each
// step of the run (from one status text to the next, and at the site from the agent's log), the
// rows per second, the peak resident memory, and exits with 1 unless every row arrived exactly
// once and nothing was left captured. With "progress" a listener prints every progress report the
// console would show, in the console's words, with the second of the run it came at.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/database.h"
#include "engine/db_type.h"
#include "engine/prepare_remote.h"
#include "engine/replicate_object.h"
#include "link/clock.h"
#include "link/progress.h"
#include "shell/console/progress_text.h"
#include "tests/support/agent_process.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/scratch_database.h"
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

// The engine's context on the machine's clock, as the program's runs are (progress is then paced
// as the console sees it), with the time each status text was published.
class TimedContext final : public testing_support::EngineTestContext {
 public:
  using EngineTestContext::EngineTestContext;
  Clock& clock() override { return systemClock_; }
  void publishStatus() override {
    EngineTestContext::publishStatus();
    stamps.push_back({Steady::now(), statusText()});
  }
  std::vector<std::pair<Steady::time_point, std::string>> stamps;

 private:
  SystemClock systemClock_;
};

// Prints what the console's progress bar would show, each report on a line of its own.
class PrintedProgress final : public ProgressListener {
 public:
  void progressed(const Progress& progress) override {
    if (!progressShown(progress)) return;
    std::printf("  %7.2f s  %s\n", std::chrono::duration<double>(Steady::now() - started_).count(),
                progressText(progress).toStdString().c_str());
    std::fflush(stdout);
  }
  void progressEnded() override {}

 private:
  Steady::time_point started_ = Steady::now();
};

// The lines the agent writes to its log, each with the moment it was seen there.
class LogWatcher {
 public:
  explicit LogWatcher(std::filesystem::path path) : path_(std::move(path)), thread_([this] { watch(); }) {}
  ~LogWatcher() {
    stop_ = true;
    thread_.join();
  }
  // (moment, line without the agent's own time stamp)
  std::vector<std::pair<Steady::time_point, std::string>> lines() {
    const std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  void watch() {
    std::string pending;
    std::streamoff offset = 0;
    while (!stop_) {
      std::ifstream in(path_, std::ios::binary);
      in.seekg(offset);
      std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      offset += static_cast<std::streamoff>(chunk.size());
      pending += chunk;
      const Steady::time_point now = Steady::now();
      for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        const std::lock_guard lock(mutex_);
        lines_.push_back({now, line.size() > 20 ? line.substr(20) : line});
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  std::filesystem::path path_;
  std::mutex mutex_;
  std::vector<std::pair<Steady::time_point, std::string>> lines_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The first line of a status text, for the table.
std::string firstLine(const std::string& text) {
  const std::size_t end = text.find("\r\n");
  const std::string line = text.substr(0, end);
  return line.empty() ? "(end)" : line;
}

constexpr int kParams = 4;

// The site's captured rows, by the run's own statements: the agent's log names each command as it
// arrives, so the time between two of them is what the site spent on the first.
void printSiteSteps(const std::vector<std::pair<Steady::time_point, std::string>>& lines,
                    Steady::time_point end) {
  std::printf("%-44s %9s\n", "at the site (from the agent's log)", "seconds");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Steady::time_point next = i + 1 < lines.size() ? lines[i + 1].first : end;
    std::string what = lines[i].second;
    if (what.size() > 60) what = what.substr(0, 57) + "...";
    std::printf("  %-60s %7.2f\n", what.c_str(),
                std::chrono::duration<double>(next - lines[i].first).count());
  }
}

struct RunFigures {
  std::int32_t result = -1;
  double seconds = 0;
};

RunFigures timedRun(TimedContext& context, LogWatcher& log) {
  context.stamps.clear();
  const std::size_t logFrom = log.lines().size();
  const Steady::time_point started = Steady::now();
  RunFigures figures;
  figures.result = ReplicateObject(context, 0);
  const Steady::time_point ended = Steady::now();
  figures.seconds = std::chrono::duration<double>(ended - started).count();
  context.localConnection().DB.disconnect();

  std::printf("%-44s %9s\n", "step (status text)", "seconds");
  for (std::size_t i = 0; i < context.stamps.size(); ++i) {
    const Steady::time_point end = i + 1 < context.stamps.size() ? context.stamps[i + 1].first : ended;
    std::printf("  %-60s %7.2f\n", firstLine(context.stamps[i].second).c_str(),
                std::chrono::duration<double>(end - context.stamps[i].first).count());
  }
  // The agent's lines of this run appear within moments of its end.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto lines = log.lines();
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(logFrom, lines.size())));
  printSiteSteps(lines, ended);
  std::printf("run: %.2f s, result %d\n", figures.seconds, figures.result);
  return figures;
}

int run(int rows, int kChannels, bool printProgress) {
  testing_support::TempDir dir;
  testing_support::openToServer(dir.path());
  for (const char* name : {"site", "local", "log"}) std::filesystem::create_directory(dir.path() / name);
  const auto site =
      testing_support::ScratchDatabase::fromTemplate(dir.path() / "site", "site.fdb", DbTypeMetering);
  const auto local =
      testing_support::ScratchDatabase::fromTemplate(dir.path() / "local", "local.fdb", DbTypeMetering);
  // The site's server keeps its own default page cache; the local database has the template's.
  const std::string siteCache = std::string("gfix -buffers 0 -user ") + Database::kUserName + " -password " +
                                Database::kPassword + " " + site.connectionName();
  if (std::system(siteCache.c_str()) != 0) {
    std::cerr << "cannot run " << siteCache << "\n";
    return 1;
  }
  testing_support::AgentProcess agent(dir.path(), {"--password", Database::kPassword});
  LogWatcher log(dir.path() / "agent.err");

  TimedContext context(dir.path() / "log", LinkLimits{});
  PrintedProgress printed;
  if (printProgress) context.listener = &printed;
  context.objects.push_back({{"127.0.0.1", agent.port(), site.path().string(), 0},
                             {"Site", DbTypeMetering, local.path().string(), 0, 0}});
  if (PrepareRemoteDatabase(context, 0) != 0) {
    std::cerr << "preparing the site failed: " << context.lastPublished() << "\n";
    return 1;
  }
  const int hours = (rows + kChannels * kParams - 1) / (kChannels * kParams);
  std::cout << "filling the site with " << rows << " archive rows: " << kChannels << " channels, " << kParams
            << " parameters, " << hours << " hours" << std::endl;
  site.exec("insert into STREET values (1, 'Lenina', 2, 0, 0, 0)");
  site.exec("insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (2, 1, '12', '', '')");
  site.exec("insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID) values (5, 1, 2)");
  site.exec(
      "execute block as declare c integer = 1; begin while (c <= " + std::to_string(kChannels) +
      ") do begin insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, "
      "IN_OUT) values (:c, 5, :c, 1, 555, 2, 0, 0); insert into LASTRHV (CHANNEL_ID, PARAM, R_VALUE, "
      "REC_DATE) "
      "values (:c, 1, 10.5, '2024-02-01 00:00:00'); c = c + 1; end end");
  site.exec("execute block as declare i integer = 0; begin while (i < " + std::to_string(rows) +
            ") do begin insert into RASHOD2004 values (1 + mod(:i, " + std::to_string(kChannels) +
            "), 1 + mod(:i / " + std::to_string(kChannels) + ", " + std::to_string(kParams) +
            "), dateadd(:i / " + std::to_string(kChannels * kParams) +
            " hour to timestamp '2024-01-01 00:00:00'), :i * 0.25); i = i + 1; end end");

  const long peakBefore = peakResidentKiB();
  std::vector<RunFigures> runs{timedRun(context, log)};
  const auto left = [&] { return site.scalar("select count(*) from REP_RASHOD2004"); };
  // A run that broke off at a limit leaves its rows for the next one.
  if (runs.back().result != 0 || left() != 0) runs.push_back(timedRun(context, log));

  const std::int64_t arrived = local.scalar("select count(*) from RASHOD2004");
  const std::int64_t distinct =
      local.scalar("select count(*) from (select distinct CHANNEL_ID, PARAM, REC_DATE from RASHOD2004)");
  double seconds = 0;
  for (const RunFigures& figures : runs) seconds += figures.seconds;
  std::printf("%zu run(s): %.2f s, %.0f archive rows/s; last result %d\n", runs.size(), seconds,
              rows / seconds, runs.back().result);
  std::printf("peak resident memory: %ld KiB before the run, %ld KiB after\n", peakBefore, peakResidentKiB());
  std::printf("local archive rows: %lld (%lld distinct) of %d; left captured at the site: %lld\n",
              static_cast<long long>(arrived), static_cast<long long>(distinct), rows,
              static_cast<long long>(left()));
  return runs.back().result == 0 && arrived == rows && distinct == rows && left() == 0 ? 0 : 1;
}

}  // namespace
}  // namespace mirrox

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int channels = argc > 2 ? std::atoi(argv[2]) : 2000;
  const bool progress = argc > 3 && std::string(argv[3]) == "progress";
  return mirrox::run(rows > 0 ? rows : 100000, channels > 0 ? channels : 2000, progress);
}

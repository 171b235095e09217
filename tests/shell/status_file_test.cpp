// The status file that monitoring systems read: well-formed Prometheus text, the values a run
// leaves, replaced as a whole, and a directory that cannot take it costs a log line, never a run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QObject>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "engine/batch_apply.h"
#include "shell/object_registry.h"
#include "shell/run_monitor.h"
#include "shell/status_metrics.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using Samples = std::map<std::string, double>;

// Reads exposition text the way a scraper does, and fails the test on anything it would refuse:
// a sample before its metric's TYPE line, a metric described twice, a malformed line.
Samples parseExposition(const std::string& text) {
  static const std::regex help(R"(# HELP ([a-z_]+) .+)");
  static const std::regex type(R"(# TYPE ([a-z_]+) gauge)");
  static const std::regex sample(R"(([a-z_]+)(\{(?:[a-z_]+="(?:[^"\\\n]|\\[\\"n])*",?)*\})? (-?[0-9.e+]+))");
  Samples samples;
  std::map<std::string, int> described;
  std::istringstream in(text);
  std::string line;
  std::smatch match;
  while (std::getline(in, line)) {
    if (std::regex_match(line, match, help)) {
      EXPECT_EQ(described[match[1]]++, 0) << "described twice: " << line;
    } else if (std::regex_match(line, match, type)) {
      EXPECT_EQ(described[match[1]], 1) << "TYPE without HELP: " << line;
    } else if (std::regex_match(line, match, sample)) {
      EXPECT_EQ(described.count(match[1]), 1u) << "sample before its metric: " << line;
      EXPECT_TRUE(samples.emplace(match[1].str() + match[2].str(), std::stod(match[3])).second)
          << "sample twice: " << line;
    } else {
      ADD_FAILURE() << "not exposition text: " << line;
    }
  }
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  return samples;
}

TEST(StatusMetrics, ObjectsAreLabelledSamplesAndRunMetricsOnlyForObjectsThatRan) {
  ProgramStatus status;
  status.startSeconds = 1700000000;
  status.periodMinutes = 15;
  status.schedulerRunning = true;
  ObjectStatus ran{0, "Котельная \"Юг\" \\ 2\nкорпус", "10.0.0.5", false, 1699990000.5, {}};
  ran.lastRun = ObjectStatus::LastRun{101, 1700000100, 12.25, {{"archive", 400}}, {{"archive", 2}}};
  status.objects.push_back(ran);
  status.objects.push_back(ObjectStatus{1, "New", "10.0.0.6", true, std::nullopt, std::nullopt});

  const Samples samples = parseExposition(statusMetricsText(status));
  const std::string first = R"({index="0",object="Котельная \"Юг\" \\ 2\nкорпус",host="10.0.0.5")";
  const std::string second = R"({index="1",object="New",host="10.0.0.6")";
  EXPECT_EQ(samples.at("mirrox_start_time_seconds"), 1700000000);
  EXPECT_EQ(samples.at("mirrox_scheduler_period_seconds"), 900);
  EXPECT_EQ(samples.at("mirrox_scheduler_running"), 1);
  EXPECT_EQ(samples.at("mirrox_object_link_ok" + first + "}"), 0);
  EXPECT_EQ(samples.at("mirrox_object_link_ok" + second + "}"), 1);
  EXPECT_EQ(samples.at("mirrox_object_last_success_time_seconds" + first + "}"), 1699990000.5);
  EXPECT_EQ(samples.at("mirrox_object_last_run_result" + first + "}"), 101);
  EXPECT_EQ(samples.at("mirrox_object_last_run_end_time_seconds" + first + "}"), 1700000100);
  EXPECT_EQ(samples.at("mirrox_object_last_run_duration_seconds" + first + "}"), 12.25);
  EXPECT_EQ(samples.at("mirrox_object_last_run_rows_applied" + first + ",batch=\"archive\"}"), 400);
  EXPECT_EQ(samples.at("mirrox_object_last_run_rows_failed" + first + ",batch=\"archive\"}"), 2);
  // The object that never ran here has its state, and no run figures that would read as zero.
  EXPECT_EQ(samples.count("mirrox_object_last_success_time_seconds" + second + "}"), 0u);
  EXPECT_EQ(samples.count("mirrox_object_last_run_result" + second + "}"), 0u);
  EXPECT_EQ(samples.size(), 11u);
}

class RunMonitorTest : public ::testing::Test, public RegistryObserver {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_ / "Log");
    testing_support::writeFile(
        dir_ / "mirrox.ini",
        "[Main]\r\nperiod=5\r\n[1]\r\nods=Alpha\r\nhost=10.0.0.1\r\ndtime=18.01.2009 9:05:33\r\n"
        "[2]\r\nods=Beta\r\nhost=10.0.0.2\r\n");
    registry_.LoadObjects();
  }

  void scheduleLoaded(int, bool) override {}
  void logLine(const std::string&) override {}
  void objectAdded(int) override {}
  void objectChanged(int) override {}

  Samples written() { return parseExposition(testing_support::readFile(monitor_.file())); }

  testing_support::TempDir dir_;
  testing_support::ManualClock clock_{encodeDateTime({2026, 12, 9, 10, 0, 0, 0})};
  ObjectRegistry registry_{dir_ / "mirrox.ini", clock_, *this};
  QObject gui_;  // the tests run on the thread it lives on, as the console's runs do
  RunMonitor::ProgramState state_{5, true};
  std::vector<std::string> logged_;
  RunMonitor monitor_{clock_,
                      dir_ / "Log",
                      registry_,
                      gui_,
                      [this] { return state_; },
                      [this](const std::string& line) { logged_.push_back(line); }};
};

TEST_F(RunMonitorTest, RunsThatSucceedAndFailLeaveTheirResultTimesAndRows) {
  EXPECT_EQ(monitor_.record(0,
                            [&] {
                              BatchReport archive;
                              archive.rowsApplied = 1200;
                              archive.rowsFailed = 3;
                              monitor_.batchApplied(BatchKind::BatchAddress, BatchReport{});
                              monitor_.batchApplied(BatchKind::BatchArchive, archive);
                              clock_.advance(std::chrono::milliseconds(2500));
                              return 0;
                            }),
            0);
  registry_.at(0).SetLastReplicationTime(clock_.now());
  registry_.at(0).SetLinkOk(true);

  EXPECT_EQ(monitor_.record(1,
                            [&] {
                              clock_.advance(std::chrono::milliseconds(1000));
                              return 101;
                            }),
            101);
  // A run that returned is written by its caller, once the object shows the outcome.
  EXPECT_FALSE(std::filesystem::exists(monitor_.file()));
  registry_.at(1).SetLinkOk(false);
  monitor_.write();

  const Samples samples = written();
  const std::string alpha = R"({index="0",object="Alpha",host="10.0.0.1")";
  const std::string beta = R"({index="1",object="Beta",host="10.0.0.2")";
  EXPECT_EQ(samples.at("mirrox_object_last_run_result" + alpha + "}"), 0);
  EXPECT_EQ(samples.at("mirrox_object_last_run_result" + beta + "}"), 101);
  EXPECT_EQ(samples.at("mirrox_object_link_ok" + alpha + "}"), 1);
  EXPECT_EQ(samples.at("mirrox_object_link_ok" + beta + "}"), 0);
  EXPECT_NEAR(samples.at("mirrox_object_last_run_duration_seconds" + alpha + "}"), 2.5, 0.01);
  EXPECT_NEAR(samples.at("mirrox_object_last_run_duration_seconds" + beta + "}"), 1.0, 0.01);
  EXPECT_NEAR(samples.at("mirrox_object_last_success_time_seconds" + alpha + "}"),
              unixSeconds(clock_.now()) - 1.0, 0.01);
  // Beta never replicated: the program's own assumption for an object without a time stands.
  EXPECT_LT(samples.at("mirrox_object_last_success_time_seconds" + beta + "}"),
            samples.at("mirrox_object_last_success_time_seconds" + alpha + "}"));
  EXPECT_EQ(samples.at("mirrox_object_last_run_end_time_seconds" + beta + "}"), unixSeconds(clock_.now()));
  EXPECT_EQ(samples.at("mirrox_object_last_run_rows_applied" + alpha + ",batch=\"archive\"}"), 1200);
  EXPECT_EQ(samples.at("mirrox_object_last_run_rows_failed" + alpha + ",batch=\"archive\"}"), 3);
  EXPECT_EQ(samples.at("mirrox_object_last_run_rows_applied" + alpha + ",batch=\"address\"}"), 0);
  EXPECT_EQ(samples.at("mirrox_scheduler_period_seconds"), 300);
  EXPECT_EQ(samples.at("mirrox_start_time_seconds"), unixSeconds(encodeDateTime({2026, 12, 9, 10, 0, 0, 0})));
  EXPECT_TRUE(logged_.empty());
}

TEST_F(RunMonitorTest, LastSuccessComesFromTheSettingsFileBeforeAnyRun) {
  state_.schedulerRunning = false;
  monitor_.write();
  const Samples samples = written();
  EXPECT_EQ(
      samples.at(R"(mirrox_object_last_success_time_seconds{index="0",object="Alpha",host="10.0.0.1"})"),
      unixSeconds(encodeDateTime({2009, 1, 18, 9, 5, 33, 0})));
  EXPECT_EQ(samples.at("mirrox_scheduler_running"), 0);
  EXPECT_EQ(samples.count(R"(mirrox_object_last_run_result{index="0",object="Alpha",host="10.0.0.1"})"), 0u);
}

TEST_F(RunMonitorTest, RunThatBreaksOffWithAnErrorIsWrittenAtOnceAndKeepsTheLastRun) {
  monitor_.record(0, [] { return 1; });
  BatchReport report;
  report.rowsApplied = 7;
  EXPECT_THROW(monitor_.record(0,
                               [&]() -> int {
                                 monitor_.batchApplied(BatchKind::BatchArchive, report);
                                 throw std::runtime_error("broken off");
                               }),
               std::runtime_error);
  const auto lastRunStands = [&](const Samples& samples) {
    EXPECT_EQ(samples.at(R"(mirrox_object_last_run_result{index="0",object="Alpha",host="10.0.0.1"})"), 1);
    for (const auto& [name, value] : samples) EXPECT_EQ(name.find("rows_applied"), std::string::npos) << name;
  };
  // Nobody shows an outcome of that run, so nobody else would write the file after it.
  lastRunStands(written());
  monitor_.batchApplied(BatchKind::BatchArchive, report);  // outside any run: counts nothing
  monitor_.write();
  lastRunStands(written());
}

TEST_F(RunMonitorTest, FileIsReplacedWholeAndNothingIsLeftBeside) {
  monitor_.write();
  registry_.at(0).SetLinkOk(false);
  monitor_.write();
  EXPECT_EQ(written().at(R"(mirrox_object_link_ok{index="0",object="Alpha",host="10.0.0.1"})"), 0);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ / "Log"))
    names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{RunMonitor::kFileName});
}

TEST_F(RunMonitorTest, DirectoryThatCannotTakeTheFileCostsOneLogLinePerWrite) {
  // A directory in the file's place: the replacement fails whoever runs the test, root included.
  std::filesystem::create_directory(monitor_.file());
  monitor_.write();
  monitor_.write();
  ASSERT_EQ(logged_.size(), 2u);
  EXPECT_EQ(logged_[0].rfind("Файл состояния не записан: ", 0), 0u) << logged_[0];
  EXPECT_NE(logged_[0].find(monitor_.file().string()), std::string::npos) << logged_[0];
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_ / "Log")) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary file left behind
}

}  // namespace
}  // namespace mirrox

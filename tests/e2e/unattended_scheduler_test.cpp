// The real program, started unattended, replicates a real site through the real agent into the
// local database it wrote from its template, and a close request in the middle of that run ends
// the program after the object, with the new time saved.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "engine/database.h"
#include "link/cp1251.h"
#include "link/date_time.h"
#include "link/original_rep.h"
#include "link/send_command.h"
#include "tests/support/agent_process.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_agent.h"
#include "tests/support/lsan_options.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_context.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;
using testing_support::eventually;
using testing_support::readFile;

// A site database written from the metering template, owned by the server's account.
std::filesystem::path siteFromTemplate(const std::filesystem::path& dir) {
  const auto path = dir / "site.gdb";
  std::filesystem::copy_file(MIRROX_METERING_TEMPLATE, path);
  const passwd* user = ::getpwnam("firebird");
  const group* grp = ::getgrnam("firebird");
  if (user != nullptr && grp != nullptr) {
    EXPECT_EQ(::chown(path.c_str(), user->pw_uid, grp->gr_gid), 0);
  }
  std::filesystem::permissions(path,
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_read | std::filesystem::perms::group_write);
  return path;
}

class UnattendedScheduler : public ::testing::Test {
 protected:
  UnattendedScheduler() {
    std::filesystem::create_directories(dir_ / "app" / "Log");
    std::filesystem::create_directories(dir_ / "app" / "tmp");
    std::filesystem::create_directories(dir_ / "agent");
    std::filesystem::copy_file(std::filesystem::path(MIRROX_BIN_DIR) / "mirrox", dir_ / "app" / "mirrox");
  }

  std::string log() const {
    const auto path = dir_ / "app" / "Log" / "mirrox.txt";
    return std::filesystem::exists(path) ? cp1251ToUtf8(readFile(path)) : std::string();
  }
  std::unique_ptr<ChildProcess> mirrox(const std::vector<std::string>& args) {
    return std::make_unique<ChildProcess>(
        dir_ / "app" / "mirrox", args,
        std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"},
                                           {"TMPDIR", (dir_ / "app" / "tmp").string()},
                                           {"LSAN_OPTIONS", testing_support::kLsanOptions}},
        dir_ / "app", dir_ / "app" / "output.txt");
  }

  // A site written from the template and prepared for capture, served by `agent`.
  std::filesystem::path preparedSite(const testing_support::AgentProcess& agent) {
    const auto site = siteFromTemplate(dir_.path());
    testing_support::TestContext context(dir_ / "agent", LinkLimits{});
    context.sites.push_back(AgentSite{"127.0.0.1", agent.port(), site.string(), 0});
    EXPECT_EQ(SendCommand(context, 0, openDatabaseCommand(site.string())), kSendOk) << context.statusText();
    for (const TCommand& statement : OriginalRep::MeteringPrepScript) {
      EXPECT_EQ(SendCommand(context, 0, statement), kSendOk) << context.statusText();
    }
    EXPECT_EQ(SendCommand(context, 0, CmdCloseDatabase), kSendOk);
    context.tcp().disconnect();
    return site;
  }

  testing_support::TempDir dir_;
};

TEST_F(UnattendedScheduler, ReplicatesAfterOnePeriodAndACloseDuringTheRunEndsAfterTheObject) {
  if (::geteuid() != 0) GTEST_SKIP() << "the site file must be handed to the server's account";
  const auto site = siteFromTemplate(dir_.path());
  testing_support::AgentProcess agent(dir_ / "agent", {"--password", Database::kPassword});

  // The site is prepared for capture with the program's own preparation statements.
  testing_support::TestContext context(dir_ / "agent", LinkLimits{});
  context.sites.push_back(AgentSite{"127.0.0.1", agent.port(), site.string(), 0});
  ASSERT_EQ(SendCommand(context, 0, openDatabaseCommand(site.string())), kSendOk) << context.statusText();
  for (const TCommand& statement : OriginalRep::MeteringPrepScript) {
    ASSERT_EQ(SendCommand(context, 0, statement), kSendOk) << context.statusText();
  }
  ASSERT_EQ(SendCommand(context, 0, CmdCloseDatabase), kSendOk);
  context.tcp().disconnect();

  testing_support::writeFile(
      dir_ / "app" / "mirrox.ini",
      utf8ToCp1251("[Main]\r\nperiod=1\r\n[1]\r\nods=Котельная\r\nhost=127.0.0.1\r\nport=" +
                   std::to_string(agent.port()) +
                   "\r\ndb_path=" + (dir_ / "app" / "DB" / "serverdb.gdb").string() +
                   "\r\nremote_db_path=" + site.string() + "\r\ndb_type=0\r\ndtime=18.01.2009 9:05:33\r\n"));

  // Two arguments: unattended, without the wait for a database server starting with the system.
  auto program = mirrox({"/auto", "now"});
  ASSERT_TRUE(eventually([&] { return log().find("Репликации данных") != std::string::npos; }, 120s))
      << log();
  auto closer = mirrox({"close"});
  EXPECT_EQ(closer->waitFor(20s), 0);
  ASSERT_EQ(program->waitFor(60s), 0) << log();

  const std::string text = log();
  const auto runStart = text.find("Репликации данных");
  const auto closeRequest = text.find("Запрос на завершение приложения ...", runStart);
  const auto runEnd = text.find("\r\n-------\r\n", runStart);
  ASSERT_NE(closeRequest, std::string::npos) << text;
  ASSERT_NE(runEnd, std::string::npos) << text;
  EXPECT_LT(closeRequest, runEnd) << "the close request came in during the run:\n" << text;
  EXPECT_EQ(text.find("Ошибка", runStart), std::string::npos) << text;
  EXPECT_EQ(text.find("Репликации данных", runStart + 1), std::string::npos) << "no second run";
  EXPECT_NE(text.rfind(" Приложение завершено \r\n"), std::string::npos);

  // The successful run's time went to the settings file at exit.
  const std::string ini = cp1251ToUtf8(readFile(dir_ / "app" / "mirrox.ini"));
  const std::string today = formatDateTime("dd.mm.yyyy", localNow());
  EXPECT_NE(ini.find("dtime=" + today), std::string::npos) << ini;
}

// Reads "name{labels} value" lines of the status file.
std::map<std::string, std::string> statusSamples(const std::string& text) {
  std::map<std::string, std::string> samples;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto blank = line.rfind(' ');
    samples[line.substr(0, blank)] = line.substr(blank + 1);
  }
  return samples;
}

TEST_F(UnattendedScheduler, StatusFileTellsASuccessfulRunFromAFailedOne) {
  if (::geteuid() != 0) GTEST_SKIP() << "the site file must be handed to the server's account";
  testing_support::AgentProcess agent(dir_ / "agent", {"--password", Database::kPassword});
  const auto site = preparedSite(agent);
  // The second object's agent is nowhere: its runs fail at the first command.
  int deadPort = 0;
  {
    testing_support::FakeAgent gone({});
    deadPort = gone.port();
  }
  testing_support::writeFile(
      dir_ / "app" / "mirrox.ini",
      utf8ToCp1251("[Main]\r\nperiod=1\r\n[1]\r\nods=Котельная\r\nhost=127.0.0.1\r\nport=" +
                   std::to_string(agent.port()) + "\r\ndb_path=" +
                   (dir_ / "app" / "DB" / "serverdb.gdb").string() + "\r\nremote_db_path=" + site.string() +
                   "\r\ndb_type=0\r\n[2]\r\nods=Dead\r\nhost=127.0.0.1\r\nport=" + std::to_string(deadPort) +
                   "\r\ndb_path=" + (dir_ / "app" / "DB" / "serverdb.gdb").string() +
                   "\r\nremote_db_path=/nowhere.gdb\r\ndb_type=0\r\n"));

  auto program = mirrox({"/auto", "now"});
  const auto statusFile = dir_ / "app" / "Log" / "mirrox.prom";
  // Written at the start already: both objects, no run yet.
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(statusFile); }, 60s)) << log();
  for (const auto& [name, value] : statusSamples(readFile(statusFile))) {
    EXPECT_EQ(name.find("last_run"), std::string::npos) << name;
  }
  // The second run of the cycle has ended once its object's result is in the file.
  const std::string deadLabels = "{index=\"1\",object=\"Dead\",host=\"127.0.0.1\"}";
  ASSERT_TRUE(eventually(
      [&] {
        return statusSamples(readFile(statusFile)).count("mirrox_object_last_run_result" + deadLabels) == 1;
      },
      150s))
      << log();
  auto closer = mirrox({"close"});
  EXPECT_EQ(closer->waitFor(20s), 0);
  ASSERT_EQ(program->waitFor(60s), 0) << log();

  const std::string text = readFile(statusFile);
  SCOPED_TRACE(text);
  const auto samples = statusSamples(text);
  const auto sample = [&](const std::string& key) {
    const auto found = samples.find(key);
    return found == samples.end() ? std::string("<none>") : found->second;
  };
  const std::string okLabels = "{index=\"0\",object=\"Котельная\",host=\"127.0.0.1\"}";
  EXPECT_EQ(sample("mirrox_object_last_run_result" + okLabels), "0");
  EXPECT_EQ(sample("mirrox_object_link_ok" + okLabels), "1");
  EXPECT_EQ(sample("mirrox_object_last_run_result" + deadLabels), std::to_string(kSendBroken));
  EXPECT_EQ(sample("mirrox_object_link_ok" + deadLabels), "0");
  EXPECT_EQ(sample("mirrox_scheduler_period_seconds"), "60");
  // The program wrote the file once more at close, with the scheduler stopped.
  EXPECT_EQ(sample("mirrox_scheduler_running"), "0");
  // The successful run applied the site's (empty) current-value and archive files; the empty
  // address file has the checksum a new object starts with, so it was not applied.
  for (const char* batch : {"current_values", "archive"}) {
    EXPECT_EQ(sample("mirrox_object_last_run_rows_applied" + okLabels.substr(0, okLabels.size() - 1) +
                     ",batch=\"" + batch + "\"}"),
              "0")
        << batch;
  }
  EXPECT_EQ(samples.count("mirrox_object_last_run_rows_applied" +
                          deadLabels.substr(0, deadLabels.size() - 1) + ",batch=\"archive\"}"),
            0u);
  const double successAge = std::stod(sample("mirrox_start_time_seconds")) -
                            std::stod(sample("mirrox_object_last_success_time_seconds" + okLabels));
  EXPECT_LT(successAge, 0) << "the successful run came after the start";
}

}  // namespace
}  // namespace mirrox

// The demo tool against the real local Firebird server and a real mirrox-agent: preparation
// through the engine, the sample SQL through the sites' own procedures, new site rows, and the
// summary of what a real replication run brought into the local databases.
#include <arpa/inet.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <sstream>

#include "demo/demo_commands.h"
#include "demo/demo_context.h"
#include "demo/demo_objects.h"
#include "demo/local_summary.h"
#include "demo/sql_session.h"
#include "engine/database.h"
#include "engine/replicate_object.h"
#include "link/cp1251.h"
#include "tests/support/agent_process.h"
#include "tests/support/child_process.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace mirrox::demo {
namespace {

using testing_support::readFile;
using testing_support::writeFile;

// A database file for the server: a copy of a template owned by its account.
void writeFromTemplate(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::create_directories(to.parent_path());
  std::filesystem::copy_file(from, to);
  const passwd* user = ::getpwnam("firebird");
  const group* grp = ::getgrnam("firebird");
  if (user != nullptr && grp != nullptr) {
    EXPECT_EQ(::chown(to.c_str(), user->pw_uid, grp->gr_gid), 0);
  }
  std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                       std::filesystem::perms::group_read |
                                       std::filesystem::perms::group_write);
}

// A loopback port with nobody listening.
int closedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
  EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ::close(fd);
  return ntohs(address.sin_port);
}

long long count(const std::filesystem::path& db, const std::string& sql) {
  SqlSession session(db.string());
  return session.scalar(sql);
}

class DemoTool : public ::testing::Test {
 protected:
  DemoTool() {
    std::filesystem::create_directories(install_ / "Log");
    std::filesystem::create_directories(dir_ / "agent");
    writeFromTemplate(MIRROX_METERING_TEMPLATE, meteringSite_);
    writeFromTemplate(MIRROX_JOURNAL_TEMPLATE, journalSite_);
    agent_ = std::make_unique<testing_support::AgentProcess>(
        dir_ / "agent", std::vector<std::string>{"--password", Database::kPassword});
  }
  int agentPort() const { return agent_->port(); }

  void writeSettings(int meteringPort, int journalPort, const std::filesystem::path& meteringRemote,
                     const std::filesystem::path& localMetering) {
    const std::string text =
        "[Main]\r\nperiod=1\r\n[1]\r\nods=Котельная №1\r\nhost=127.0.0.1\r\nport=" +
        std::to_string(meteringPort) + "\r\ndb_path=" + localMetering.string() +
        "\r\nremote_db_path=" + meteringRemote.string() +
        "\r\ndb_type=0\r\n[2]\r\nods=ОДС-2\r\nhost=127.0.0.1\r\nport=" + std::to_string(journalPort) +
        "\r\ndb_path=" + localJournal_.string() + "\r\nremote_db_path=" + journalSite_.string() +
        "\r\ndb_type=1\r\n";
    writeFile(install_ / "mirrox.ini", utf8ToCp1251(text));
  }
  void writeSettings(int port) { writeSettings(port, port, meteringSite_, localMetering_); }

  // Runs one of the demo's SQL files into a site the way scripts/demo does: converted to code
  // page 1251, through the server, stopping at the first error.
  void loadSample(const std::string& name, const std::filesystem::path& site) {
    const auto converted = dir_ / (name + ".1251");
    writeFile(converted,
              utf8ToCp1251(readFile(std::filesystem::path(MIRROX_SOURCE_DIR) / "demo" / "sql" / name)));
    testing_support::ChildProcess isql(
        "/usr/bin/isql-fb",
        {"-q", "-bail", "-ch", "WIN1251", "-user", Database::kUserName, "-password", Database::kPassword,
         "-i", converted.string(), "127.0.0.1:" + site.string()},
        {}, dir_.path(), dir_ / (name + ".out"));
    const auto code = isql.waitFor(std::chrono::seconds(120));
    ASSERT_TRUE(code.has_value());
    ASSERT_EQ(*code, 0) << readFile(dir_ / (name + ".out"));
  }

  void prepareAndLoad() {
    std::ostringstream out;
    ASSERT_EQ(prepareSites(install_, out), 0) << out.str();
    loadSample("metering.sql", meteringSite_);
    loadSample("journal.sql", journalSite_);
  }

  testing_support::TempDir dir_;
  std::filesystem::path install_ = dir_ / "demo";
  std::filesystem::path meteringSite_ = dir_ / "sites" / "metering.gdb";
  std::filesystem::path journalSite_ = dir_ / "sites" / "journal.db";
  std::filesystem::path localMetering_ = install_ / "DB" / "serverdb.gdb";
  std::filesystem::path localJournal_ = install_ / "DB" / "journal.db";
  std::unique_ptr<testing_support::AgentProcess> agent_;
};

TEST_F(DemoTool, PrepareThenSampleDataLeavesTheWholeHistoryCaptured) {
  writeSettings(agentPort());
  std::ostringstream out;
  ASSERT_EQ(prepareSites(install_, out), 0) << out.str();
  EXPECT_NE(out.str().find("Подготовка БД Клиента Котельная №1\n  -------"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Подготовка БД Клиента ОДС-2\n  -------"), std::string::npos) << out.str();

  loadSample("metering.sql", meteringSite_);
  loadSample("journal.sql", journalSite_);

  EXPECT_EQ(count(meteringSite_, "select count(*) from house where sortnum is not null"), 5);
  EXPECT_EQ(count(meteringSite_, "select count(*) from channel"), 13);
  EXPECT_EQ(count(meteringSite_, "select count(*) from channel where flat <> 0"), 1);
  EXPECT_EQ(count(meteringSite_, "select count(*) from rashod2004"), 13 * 72);
  EXPECT_EQ(count(meteringSite_, "select count(*) from rep_rashod2004 where status = 0"), 13 * 72);
  EXPECT_EQ(count(meteringSite_, "select count(*) from lastrhv"), 13 + 2 * 5);
  EXPECT_EQ(count(meteringSite_, "select count(*) from rashod2004 where rec_date >= current_date"), 0);

  EXPECT_EQ(count(journalSite_, "select count(*) from journal_people_alerts"), 6);
  EXPECT_EQ(count(journalSite_, "select count(*) from journal_people_alerts where date_close is not null"),
            3);
  EXPECT_EQ(count(journalSite_, "select count(*) from journal_people_alerts where deleted = 1"), 1);
  EXPECT_EQ(count(journalSite_, "select count(distinct id_rec) from r_client where status = 2"), 6);
  EXPECT_EQ(
      count(
          journalSite_,
          "select count(distinct r.id_rec) from r_client r join journal_hardware j on j.id_record = r.id_rec "
          "where r.status = 0"),
      3);
  EXPECT_EQ(count(journalSite_,
                  "select count(*) from journal_hardware where date_confirm is not null and "
                  "date_close is not null"),
            2);
}

TEST_F(DemoTool, SecondPrepareFailsAndKeepsTheSitesReason) {
  writeSettings(agentPort());
  std::ostringstream first;
  ASSERT_EQ(prepareSites(install_, first), 0) << first.str();
  std::ostringstream second;
  EXPECT_EQ(prepareSites(install_, second), 1);
  // The refusal names the existing capture table of each site before the separator.
  EXPECT_NE(second.str().find("REP_RASHOD2004"), std::string::npos) << second.str();
  EXPECT_NE(second.str().find("R_CLIENT"), std::string::npos) << second.str();
}

TEST_F(DemoTool, PrepareWithoutAgentFailsEveryObjectButTriesEachOne) {
  writeSettings(closedPort());
  std::ostringstream out;
  EXPECT_EQ(prepareSites(install_, out), 1);
  EXPECT_NE(out.str().find("preparing \"Котельная №1\""), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("preparing \"ОДС-2\""), std::string::npos) << out.str();
  EXPECT_EQ(
      count(meteringSite_, "select count(*) from rdb$relations where rdb$relation_name = 'REP_RASHOD2004'"),
      0);
}

TEST_F(DemoTool, EveryRoundOfNewRowsReachesTheCaptureTables) {
  writeSettings(agentPort());
  prepareAndLoad();
  const long long captured = count(meteringSite_, "select count(*) from rep_rashod2004");
  const long long changes = count(journalSite_, "select count(*) from r_client");

  for (int round = 1; round <= 2; ++round) {
    std::ostringstream out;
    ASSERT_EQ(addSiteRows(install_, round, out), 0) << out.str();
    EXPECT_NE(out.str().find("12 new hourly readings"), std::string::npos) << out.str();
    SqlSession journal(journalSite_.string());
    EXPECT_EQ(journal.scalar("select count(*) from journal_people_alerts where \"NUMBER\" = ?",
                             {"Д-" + std::to_string(1000 + round)}),
              1);
  }
  EXPECT_EQ(count(meteringSite_, "select count(*) from rep_rashod2004"), captured + 2 * 12);
  EXPECT_EQ(
      count(meteringSite_, "select count(distinct rec_date) from rashod2004 where rec_date >= current_date"),
      2);
  // Per round: a new request, a closed one (update), a new event, a confirm and a close (updates).
  EXPECT_GE(count(journalSite_, "select count(*) from r_client"), changes + 2 * 5);
  EXPECT_EQ(count(journalSite_, "select count(*) from journal_people_alerts where date_close is null"),
            3 + 2 - 2);
}

TEST_F(DemoTool, NewRowsForARefusingSiteAreReportedAndTheOtherSiteIsServed) {
  writeSettings(agentPort(), agentPort(), dir_ / "sites" / "missing.gdb", localMetering_);
  std::ostringstream prepared;
  prepareSites(install_, prepared);
  loadSample("journal.sql", journalSite_);
  std::ostringstream out;
  EXPECT_EQ(addSiteRows(install_, 1, out), 1);
  EXPECT_NE(out.str().find("\"Котельная №1\": the site database refused the new rows"), std::string::npos)
      << out.str();
  EXPECT_EQ(count(journalSite_, "select count(*) from journal_people_alerts"), 7);
}

TEST_F(DemoTool, SummaryShowsWhatARealRunBroughtIntoTheLocalDatabases) {
  writeSettings(agentPort());
  prepareAndLoad();
  writeFromTemplate(MIRROX_METERING_TEMPLATE, localMetering_);
  writeFromTemplate(MIRROX_JOURNAL_TEMPLATE, localJournal_);

  DemoObjects objects(install_ / "mirrox.ini");
  ASSERT_EQ(objects.registry().count(), 2);
  EXPECT_EQ(objects.periodMinutes(), 1);
  testing_support::ManualClock clock(46000.0);
  std::vector<std::string> published;
  {
    DemoContext context(
        objects.registry(), install_ / "Log",
        [&published](const std::string& text) { published.push_back(text); }, &clock);
    ASSERT_EQ(ReplicateObject(context, 0), 0) << (published.empty() ? "" : published.back());
    ASSERT_EQ(ReplicateObject(context, 1), 0) << (published.empty() ? "" : published.back());
  }

  const auto metering = summarizeDatabase(localMetering_.string(), 0, 2);
  ASSERT_EQ(metering.size(), 6u);
  EXPECT_EQ(metering[0].table, "STREET");
  EXPECT_EQ(metering[0].columns, (std::vector<std::string>{"ID_STREET", "REGION_ID", "NAME"}));
  EXPECT_EQ(metering[0].count, 3);
  EXPECT_EQ(metering[0].sample.size(), 2u);
  EXPECT_EQ(metering[0].sample[0][0], "3");
  EXPECT_EQ(metering[0].sample[0][2], "пер. Школьный");
  EXPECT_EQ(metering[1].count, 5);
  EXPECT_EQ(metering[3].table, "CHANNEL");
  EXPECT_EQ(metering[3].count, 12);  // the flat meter stays at the site
  EXPECT_EQ(metering[5].table, "RASHOD2004");
  EXPECT_EQ(metering[5].count, 12 * 72);

  const auto journal = summarizeDatabase(localJournal_.string(), 1, 10);
  ASSERT_EQ(journal.size(), 6u);
  EXPECT_EQ(journal[0].table, "JOURNAL_PEOPLE_ALERTS");
  EXPECT_EQ(journal[0].count, 6);
  EXPECT_EQ(journal[5].table, "JOURNAL_HARDWARE");
  bool flood = false;
  for (const auto& row : journal[5].sample) flood = flood || row[2] == "Затопление";
  EXPECT_TRUE(flood);

  std::ostringstream shown;
  EXPECT_EQ(showLocalDatabases(install_, 1, shown), 0);
  EXPECT_NE(shown.str().find("  RASHOD2004: 864 rows\n"), std::string::npos) << shown.str();
  EXPECT_NE(shown.str().find("  JOURNAL_PEOPLE_ALERTS: 6 rows\n"), std::string::npos) << shown.str();
  EXPECT_TRUE(summarizeDatabase(localMetering_.string(), 7, 2).empty());
}

TEST_F(DemoTool, SessionKeepsOnlyCommittedWork) {
  const std::string peopleNamed = "select count(*) from people where name = ?";
  {
    SqlSession site(journalSite_.string());
    site.run("select id_people from ADD_PEOPLE(?, 0)", {std::string("Лебедев Олег")});
    EXPECT_EQ(site.scalar(peopleNamed, {std::string("Лебедев Олег")}), 1);
  }
  {
    SqlSession site(journalSite_.string());
    EXPECT_EQ(site.scalar(peopleNamed, {std::string("Лебедев Олег")}), 0);
    site.run("select id_people from ADD_PEOPLE(?, 0)", {std::string("Лебедева Анна")});
    site.commit();
  }
  SqlSession site(journalSite_.string());
  EXPECT_EQ(site.scalar(peopleNamed, {std::string("Лебедева Анна")}), 1);
}

TEST_F(DemoTool, CommandsRefuseAMissingSettingsFileOrUnreadableLocalDatabase) {
  std::ostringstream out;
  EXPECT_EQ(prepareSites(install_, out), 1);
  EXPECT_EQ(addSiteRows(install_, 1, out), 1);
  EXPECT_EQ(showLocalDatabases(install_, 1, out), 1);
  EXPECT_NE(out.str().find("no objects in " + (install_ / "mirrox.ini").string()), std::string::npos);

  writeSettings(agentPort());
  std::ostringstream shown;
  EXPECT_EQ(showLocalDatabases(install_, 1, shown), 1);
  EXPECT_NE(shown.str().find("  cannot read it: "), std::string::npos) << shown.str();
}

}  // namespace
}  // namespace mirrox::demo

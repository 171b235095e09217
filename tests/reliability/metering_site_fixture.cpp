#include "tests/reliability/metering_site_fixture.h"

#include <thread>
#include <vector>

#include "engine/database.h"
#include "engine/engine_context.h"
#include "engine/prepare_remote.h"
#include "engine/replicate_object.h"
#include "engine/upgrade_scripts.h"

namespace mirrox::reliability {

void MeteringSiteFixture::SetUp() {
  testing_support::openToServer(dir_.path());
  for (const char* name : {"site", "local", "log"}) std::filesystem::create_directory(dir_.path() / name);
  site_.emplace(
      testing_support::ScratchDatabase::fromTemplate(dir_.path() / "site", "site.fdb", DbTypeMetering));
  local_.emplace(
      testing_support::ScratchDatabase::fromTemplate(dir_.path() / "local", "local.fdb", DbTypeMetering));
  for (int i = 0; i <= kIndex; ++i) {
    context_.objects.push_back(
        {{"127.0.0.1", 0, site_->path().string(), 0},
         {"Site " + std::to_string(i), DbTypeMetering, local_->path().string(), 0, 0}});
  }
  startAgent();
  ASSERT_EQ(PrepareRemoteDatabase(context_, kIndex), 0) << publishedTexts();
  addMeteringChannel(*site_);
}

void MeteringSiteFixture::startAgent(const std::vector<std::string>& options) {
  agent_.reset();
  agentDirectory_ = dir_.path() / ("agent" + std::to_string(++agentsStarted_));
  std::filesystem::create_directory(agentDirectory_);
  std::vector<std::string> arguments{"--password", Database::kPassword};
  arguments.insert(arguments.end(), options.begin(), options.end());
  agent_ = std::make_unique<testing_support::AgentProcess>(agentDirectory_, arguments);
  for (testing_support::TestObject& object : context_.objects) object.agent.port = agent_->port();
}

void MeteringSiteFixture::addArchive(int first, int count) const { addArchiveRows(*site_, first, count); }

std::int32_t MeteringSiteFixture::run() {
  const std::int32_t result = ReplicateObject(context_, kIndex);
  context_.localConnection().DB.disconnect();
  return result;
}

bool MeteringSiteFixture::siteAttachmentsGone(std::chrono::seconds limit) const {
  const auto until = std::chrono::steady_clock::now() + limit;
  const char* others =
      "select count(*) from MON$ATTACHMENTS where MON$SYSTEM_FLAG = 0 and "
      "MON$ATTACHMENT_ID <> current_connection";
  while (site_->scalar(others) > 0) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return true;
}

std::int64_t MeteringSiteFixture::captured() const {
  return site_->scalar("select count(*) from REP_RASHOD2004");
}

std::int64_t MeteringSiteFixture::applied() const {
  return local_->scalar("select count(*) from RASHOD2004 where CHANNEL_ID = " +
                        std::to_string(kLocalChannel));
}

std::int64_t MeteringSiteFixture::appliedDistinct() const {
  return local_->scalar(
      "select count(*) from (select distinct PARAM, REC_DATE from RASHOD2004 where CHANNEL_ID = " +
      std::to_string(kLocalChannel) + ")");
}

std::string MeteringSiteFixture::publishedTexts() const {
  std::string texts;
  for (const std::string& text : context_.published) texts += text + "\n";
  return texts;
}

void addMeteringChannel(const testing_support::ScratchDatabase& site) {
  site.exec("insert into STREET values (1, 'Lenina', 2, 0, 0, 0)");
  site.exec("insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (2, 1, '12', '', '')");
  site.exec("insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID) values (5, 1, 2)");
  site.exec(
      "insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT) "
      "values (" +
      std::to_string(MeteringSiteFixture::kSiteChannel) + ", 5, 1, 1, 555, 2, 0, 0)");
}

void addArchiveRows(const testing_support::ScratchDatabase& site, int first, int count) {
  site.exec("execute block as declare i integer = " + std::to_string(first) + "; begin while (i < " +
            std::to_string(first + count) + ") do begin insert into RASHOD2004 values (" +
            std::to_string(MeteringSiteFixture::kSiteChannel) +
            ", 1, dateadd(:i minute to timestamp '2024-01-01 00:00:00'), :i); i = i + 1; end end");
}

void holdUncommittedUpdate(LocalConnection& writer, const testing_support::ScratchDatabase& site,
                           const std::string& update) {
  writer.DB.setDatabaseName(site.connectionName());
  writer.DB.connect();
  writer.TR.start();
  writer.Qr.setParamCheck(false);
  writer.Qr.setSql(update);
  writer.Qr.execute();
}

bool markWaitsForLock(const testing_support::ScratchDatabase& site, const std::string& mark) {
  return site.scalar(
             "select count(*) from MON$STATEMENTS s join MON$RECORD_STATS r on r.MON$STAT_ID = s.MON$STAT_ID "
             "where s.MON$STATE = 1 and r.MON$RECORD_WAITS > 0 and s.MON$SQL_TEXT starting with '" +
             mark + "'") > 0;
}

}  // namespace mirrox::reliability

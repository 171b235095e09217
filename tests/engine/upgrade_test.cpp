#include <gtest/gtest.h>

#include "engine/database.h"
#include "engine/engine_messages.h"
#include "engine/local_upgrade.h"
#include "engine/upgrade_scripts.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::EngineTestContext;
using testing_support::ScratchDatabase;
using testing_support::TempDir;

std::int64_t procedureCount(const ScratchDatabase& db, const char* name) {
  return db.scalar(std::string("select count(*) from rdb$procedures where rdb$procedure_name = '") + name +
                   "'");
}

std::int64_t generatorCount(const ScratchDatabase& db, const char* name) {
  return db.scalar(std::string("select count(*) from rdb$generators where rdb$generator_name = '") + name +
                   "'");
}

class UpgradeTest : public ::testing::Test {
 protected:
  // A local database of the type, or with only the tables listed in `ddl` when given.
  void makeDatabase(std::int32_t dbType, const std::string& ddl = {}) {
    if (ddl.empty()) {
      db_.emplace(ScratchDatabase::fromTemplate(dir_.path(), "local.fdb", dbType));
    } else {
      db_.emplace(dir_.path(), "local.fdb", "WIN1251");
      db_->exec(ddl);
    }
    context_.objects.push_back({{}, {"Site", dbType, db_->path().string(), 0, 0}});
  }

  std::int32_t open(int index = 0) {
    LocalConnection& local = context_.localConnection();
    local.DB.disconnect();
    local.DB.setDatabaseName("127.0.0.1:" + context_.at(index).local.localDbPath);
    return OpenLocalDatabase(context_, index);
  }

  TempDir dir_;
  EngineTestContext context_{dir_.path()};
  std::optional<ScratchDatabase> db_;
};

TEST_F(UpgradeTest, FreshMeteringDatabaseGetsProceduresAndGeneratorAtTwo) {
  makeDatabase(DbTypeMetering);
  ASSERT_EQ(open(), kLocalOk) << context_.lastPublished();
  EXPECT_EQ(context_.at(0).local.localSchemaVersion, 2);
  EXPECT_TRUE(context_.published.empty());
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(db_->scalar("select gen_id(ReplVersion, 0) from rdb$database"), 2);
  for (const char* name : {"REPL_GETSPEC_ID", "REPL_DATA", "REPL_ADDRESS"})
    EXPECT_EQ(procedureCount(*db_, name), 1);
  EXPECT_EQ(db_->scalar("select id from REPL_GETSPEC_ID(3, 17)"), 300017);
}

TEST_F(UpgradeTest, FreshJournalDatabaseGetsProceduresAndGeneratorAtFive) {
  makeDatabase(DbTypeJournal);
  ASSERT_EQ(open(), kLocalOk) << context_.lastPublished();
  EXPECT_EQ(context_.at(0).local.localSchemaVersion, 5);
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(db_->scalar("select gen_id(ReplZVersion, 0) from rdb$database"), 5);
  EXPECT_EQ(procedureCount(*db_, "REPL_ZAYAVKA"), 1);
  EXPECT_EQ(procedureCount(*db_, "REPL_HW"), 1);
}

struct GeneratorCase {
  std::int32_t dbType;
  int generatorValue;
  bool scriptRuns;
};

class UpgradeByGeneratorValue : public UpgradeTest, public ::testing::WithParamInterface<GeneratorCase> {};

TEST_P(UpgradeByGeneratorValue, ScriptRunsOnlyBelowTheTarget) {
  const GeneratorCase& c = GetParam();
  makeDatabase(c.dbType);
  const std::string generator = c.dbType == DbTypeJournal ? "ReplZVersion" : "ReplVersion";
  db_->exec("CREATE GENERATOR " + generator);
  db_->exec("SET GENERATOR " + generator + " TO " + std::to_string(c.generatorValue));
  ASSERT_EQ(open(), kLocalOk) << context_.lastPublished();
  // Whatever the generator held, the object now counts as up to date at the target.
  EXPECT_EQ(context_.at(0).local.localSchemaVersion, c.dbType == DbTypeJournal ? 5 : 2);
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(procedureCount(*db_, c.dbType == DbTypeJournal ? "REPL_HW" : "REPL_DATA"), c.scriptRuns ? 1 : 0);
  EXPECT_EQ(db_->scalar("select gen_id(" + generator + ", 0) from rdb$database"),
            c.scriptRuns ? (c.dbType == DbTypeJournal ? 5 : 2) : c.generatorValue);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, UpgradeByGeneratorValue,
    ::testing::Values(GeneratorCase{DbTypeMetering, 1, true}, GeneratorCase{DbTypeMetering, 2, false},
                      GeneratorCase{DbTypeMetering, 7, false}, GeneratorCase{DbTypeJournal, 3, true},
                      // A database of the earlier schema receives the
                      // procedures that store an event once.
                      GeneratorCase{DbTypeJournal, 4, true}, GeneratorCase{DbTypeJournal, 5, false}));

TEST_F(UpgradeTest, SecondRunInTheSameProcessDoesNotReadTheGenerator) {
  makeDatabase(DbTypeMetering);
  ASSERT_EQ(open(), kLocalOk);
  context_.localConnection().DB.disconnect();
  db_->exec("DROP GENERATOR ReplVersion");
  ASSERT_EQ(open(), kLocalOk);
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(generatorCount(*db_, "REPLVERSION"), 0);
}

TEST_F(UpgradeTest, SecondObjectSharingTheDatabaseReadsTheGeneratorAndRunsNothing) {
  makeDatabase(DbTypeMetering);
  context_.objects.push_back(context_.objects[0]);
  ASSERT_EQ(open(0), kLocalOk);
  context_.localConnection().DB.disconnect();
  db_->exec("DROP PROCEDURE REPL_ADDRESS");
  ASSERT_EQ(open(1), kLocalOk);
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(context_.at(1).local.localSchemaVersion, 2);
  EXPECT_EQ(procedureCount(*db_, "REPL_ADDRESS"), 0);
}

TEST_F(UpgradeTest, FailingThirdStatementKeepsTheFirstTwoAndIsRepeatedNextRun) {
  // No address tables: the third procedure cannot compile.
  makeDatabase(
      DbTypeMetering,
      "create table LASTRHV (CHANNEL_ID INTEGER, PARAM SMALLINT, R_VALUE NUMERIC(18,5), REC_DATE TIMESTAMP)");
  db_->exec(
      "create table RASHOD2004 (CHANNEL_ID INTEGER, PARAM SMALLINT, REC_DATE TIMESTAMP, "
      "RASHOD_VALUE NUMERIC(18,5))");
  for (int run = 0; run < 2; ++run) {
    context_.published.clear();
    EXPECT_EQ(open(), kLocalUpgradeFailed);
    ASSERT_EQ(context_.published.size(), 1u);
    EXPECT_EQ(context_.published[0],
              std::string(messages::kLocalUpgradeFailed) + MeteringUpgradeScript[2].Param);
    EXPECT_EQ(context_.at(0).local.localSchemaVersion, 0);
    context_.localConnection().DB.disconnect();
    EXPECT_EQ(procedureCount(*db_, "REPL_GETSPEC_ID"), 1);
    EXPECT_EQ(procedureCount(*db_, "REPL_DATA"), 1);
    EXPECT_EQ(procedureCount(*db_, "REPL_ADDRESS"), 0);
    EXPECT_EQ(db_->scalar("select gen_id(ReplVersion, 0) from rdb$database"), 0);
  }
}

TEST_F(UpgradeTest, MissingDatabaseFileIsAConnectionFailure) {
  context_.objects.push_back({{}, {"Site", DbTypeMetering, (dir_.path() / "absent.fdb").string(), 0, 0}});
  EXPECT_EQ(open(), kLocalConnectFailed);
  ASSERT_EQ(context_.published.size(), 1u);
  EXPECT_EQ(context_.published[0].rfind(messages::kLocalConnectFailed, 0), 0u);
  EXPECT_NE(context_.published[0].find("I/O error"), std::string::npos) << context_.published[0];
}

TEST_F(UpgradeTest, UnreachableServerIsAConnectionFailure) {
  context_.objects.push_back({{}, {"Site", DbTypeMetering, "/nowhere.fdb", 0, 0}});
  // Port 1 on loopback: nothing listens there.
  context_.localConnection().DB.setDatabaseName("127.0.0.1/1:/nowhere.fdb");
  EXPECT_EQ(OpenLocalDatabase(context_, 0), kLocalConnectFailed);
  EXPECT_EQ(
      context_.lastPublished(),
      std::string(messages::kLocalConnectFailed) +
          "Unable to complete network request to host \"127.0.0.1\".\n-Failed to establish a connection.");
}

TEST_F(UpgradeTest, GeneratorThatCanBeNeitherReadNorCreatedEndsWithResultTwo) {
  makeDatabase(DbTypeMetering);
  ASSERT_EQ(std::system((std::string("gfix -user ") + Database::kUserName + " -password " +
                         Database::kPassword + " -mode read_only " + db_->connectionName())
                            .c_str()),
            0);
  EXPECT_EQ(open(), kLocalUpgradeFailed);
  ASSERT_EQ(context_.published.size(), 1u);
  EXPECT_EQ(context_.published[0].rfind(
                std::string(messages::kLocalUpgradeFailed) + "CREATE GENERATOR ReplVersion\r\n", 0),
            0u)
      << context_.published[0];
  EXPECT_TRUE(context_.localConnection().Qr.paramCheck());
}

TEST_F(UpgradeTest, UnknownDatabaseTypeReadsAndRunsNothing) {
  makeDatabase(DbTypeMetering);
  context_.at(0).local.dbType = 5;
  EXPECT_EQ(open(), kLocalOk);
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(generatorCount(*db_, "REPLVERSION"), 0);
  EXPECT_EQ(context_.at(0).local.localSchemaVersion, 0);
}

TEST(UpgradeScripts, EachProcedureEntryIsOneCreateOrAlterAndTheLastSetsTheGenerator) {
  for (const std::span<const TCommand> script :
       {std::span<const TCommand>(MeteringUpgradeScript), std::span<const TCommand>(JournalUpgradeScript)}) {
    for (std::size_t i = 0; i + 1 < script.size(); ++i) {
      EXPECT_EQ(script[i].Param.rfind("CREATE OR ALTER PROCEDURE REPL_", 0), 0u);
      EXPECT_EQ(script[i].Kind, KindExecute);
      EXPECT_TRUE(script[i].Cmd.empty());
    }
  }
  EXPECT_EQ(MeteringUpgradeScript[3].Param, "SET GENERATOR ReplVersion TO 2");
  EXPECT_EQ(JournalUpgradeScript[2].Param, "SET GENERATOR ReplZVersion TO 5");
  EXPECT_NE(MeteringUpgradeScript[0].Param.find("REPL_GETSPEC_ID"), std::string::npos);
  EXPECT_NE(MeteringUpgradeScript[1].Param.find("REPL_DATA"), std::string::npos);
  EXPECT_NE(MeteringUpgradeScript[2].Param.find("REPL_ADDRESS"), std::string::npos);
  EXPECT_NE(JournalUpgradeScript[0].Param.find("REPL_ZAYAVKA"), std::string::npos);
  EXPECT_NE(JournalUpgradeScript[1].Param.find("REPL_HW"), std::string::npos);
}

}  // namespace
}  // namespace mirrox

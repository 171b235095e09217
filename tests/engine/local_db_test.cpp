#include <gtest/gtest.h>

#include "engine/local_connection.h"
#include "fb/error.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::ScratchDatabase;
using testing_support::TempDir;

class LocalDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.emplace(dir_.path(), "scratch.fdb");
    db_->exec(
        "create table T (I integer, S smallint, N numeric(18,5), D timestamp, V varchar(5), W varchar(10))");
    local_.DB.setDatabaseName(db_->connectionName());
  }

  TempDir dir_;
  std::optional<ScratchDatabase> db_;
  LocalConnection local_;
};

TEST_F(LocalDbTest, PreparedOnceExecutesEveryRowWithTextInputsConvertedByTheServer) {
  local_.DB.connect();
  local_.TR.start();
  local_.Qr.setSql("insert into T (I, S, N, D, V) values (:a, :b, :c, :d, :e)");
  local_.Qr.prepare();
  ASSERT_EQ(local_.Qr.params().size(), 5u);
  EXPECT_EQ(local_.Qr.params()[0].kind, ParamKind::Number);
  EXPECT_EQ(local_.Qr.params()[2].kind, ParamKind::Number);
  EXPECT_EQ(local_.Qr.params()[3].kind, ParamKind::Timestamp);
  EXPECT_EQ(local_.Qr.params()[4].kind, ParamKind::Text);
  EXPECT_EQ(local_.Qr.params()[4].length, 5u);
  local_.Qr.execute({"17", "-3", "123.45", "2024-01-05 10:20:30", "\xC0\xE1\xE2"});
  local_.Qr.execute({"18", std::nullopt, "0.00001", std::nullopt, ""});
  // Fewer inputs than parameters: the rest are NULL.
  local_.Qr.execute({"19"});
  local_.TR.commit();

  const auto rows = db_->rows("select I, S, N, cast(D as varchar(30)), V from T order by I");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], "-3");
  EXPECT_EQ(rows[0][2], "123.45000");
  EXPECT_EQ(rows[0][3].value().substr(0, 19), "2024-01-05 10:20:30");
  EXPECT_EQ(rows[0][4], "\xC0\xE1\xE2");  // CP1251 bytes stored unchanged
  EXPECT_EQ(rows[1][1], std::nullopt);
  EXPECT_EQ(rows[1][4], "");
  EXPECT_EQ(rows[2][1], std::nullopt);
  EXPECT_EQ(rows[2][4], std::nullopt);
}

TEST_F(LocalDbTest, TextLongerThanItsParameterFailsBeforeExecuting) {
  local_.DB.connect();
  local_.TR.start();
  local_.Qr.setSql("insert into T (V) values (:v)");
  try {
    local_.Qr.execute({"123456"});
    FAIL() << "no error";
  } catch (const fb::Error& error) {
    EXPECT_NE(std::string(error.what()).find("expected length 5, actual 6"), std::string::npos)
        << error.what();
  }
  local_.Qr.execute({"12345"});
  local_.TR.commit();
  EXPECT_EQ(db_->scalar("select count(*) from T"), 1);
}

TEST_F(LocalDbTest, ServerConversionErrorsCarryTheServersMessage) {
  local_.DB.connect();
  local_.TR.start();
  local_.Qr.setSql("insert into T (I) values (:i)");
  try {
    local_.Qr.execute({"1,5"});
    FAIL() << "no error";
  } catch (const fb::Error& error) {
    EXPECT_NE(std::string(error.what()).find("conversion error from string \"1,5\""), std::string::npos)
        << error.what();
  }
}

TEST_F(LocalDbTest, ParamCheckOffSendsTheTextUnchanged) {
  local_.DB.connect();
  local_.TR.start();
  local_.Qr.setParamCheck(false);
  local_.Qr.setSql(
      "execute block as declare variable x integer = 5; begin insert into T (I) values (:x); end");
  local_.Qr.execute();
  local_.TR.commit();
  EXPECT_EQ(db_->scalar("select I from T"), 5);
}

TEST_F(LocalDbTest, DisconnectCommitsTheActiveTransaction) {
  local_.DB.connect();
  local_.TR.start();
  local_.Qr.setSql("insert into T (I) values (:i)");
  local_.Qr.execute({"42"});
  local_.DB.disconnect();
  EXPECT_FALSE(local_.DB.connected());
  EXPECT_FALSE(local_.TR.active());
  EXPECT_FALSE(local_.Qr.prepared());
  EXPECT_EQ(db_->scalar("select I from T"), 42);
}

TEST_F(LocalDbTest, RollbackDiscardsAndSelectReadsIntegers) {
  local_.DB.connect();
  local_.TR.start();
  local_.Qr.setSql("insert into T (I) values (:i)");
  local_.Qr.execute({"7"});
  local_.TR.rollback();
  local_.TR.start();
  local_.Qr.setSql("select count(*) from T");
  local_.Qr.execute();
  EXPECT_EQ(local_.Qr.fetchInt64(), 0);
  EXPECT_EQ(local_.Qr.fetchInt64(), std::nullopt);
  local_.TR.commit();
}

TEST_F(LocalDbTest, ConnectFailureCarriesTheServersMessage) {
  local_.DB.setDatabaseName("127.0.0.1:" + (dir_.path() / "missing.fdb").string());
  try {
    local_.DB.connect();
    FAIL() << "connected";
  } catch (const fb::Error& error) {
    EXPECT_NE(std::string(error.what()).find("I/O error"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(local_.DB.connected());
}

TEST_F(LocalDbTest, ServerDroppingTheConnectionMidStatementLeavesNothingBehind) {
  local_.DB.connect();
  local_.TR.start();
  local_.Qr.setSql("select current_connection from rdb$database");
  local_.Qr.execute();
  const std::int64_t attachment = local_.Qr.fetchInt64().value();
  local_.Qr.setSql("insert into T (I) values (:i)");
  local_.Qr.execute({"1"});

  // Another attachment ends ours, as the server does when it is shut down or the link breaks.
  db_->exec("delete from mon$attachments where mon$attachment_id = " + std::to_string(attachment));
  try {
    local_.Qr.execute({"2"});
    FAIL() << "executed on a dropped connection";
  } catch (const fb::Error& error) {
    EXPECT_TRUE(error.connectionLost()) << error.what();
  }
  // Nothing more is asked of the dead connection: a shut-down port may never answer.
  EXPECT_FALSE(local_.DB.connected());
  EXPECT_THROW(local_.TR.commit(), fb::Error);
  EXPECT_FALSE(local_.TR.active());
  local_.DB.disconnect();  // must not throw or hang
  EXPECT_FALSE(local_.DB.connected());

  // The same objects serve the next run.
  local_.DB.connect();
  local_.TR.start();
  local_.Qr.setSql("insert into T (I) values (:i)");
  local_.Qr.execute({"3"});
  local_.TR.commit();
  EXPECT_EQ(db_->scalar("select count(*) from T"), 1);
}

}  // namespace
}  // namespace mirrox

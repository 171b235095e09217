// The texts of the engine's own making reach the operator's log and row error file in Russian,
// like every other text there.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>

#include "engine/batch_apply.h"
#include "engine/db_type.h"
#include "engine/local_connection.h"
#include "engine/local_upgrade.h"
#include "engine/prepare_remote.h"
#include "engine/replicate_object.h"
#include "engine/row_error_file.h"
#include "fb/error.h"
#include "link/cp1251.h"
#include "link/result_file.h"
#include "tests/support/dropped_connection.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/without_capabilities.h"

namespace mirrox {
namespace {

using testing_support::EngineTestContext;
using testing_support::readFile;
using testing_support::ScratchDatabase;
using testing_support::TempDir;
using testing_support::writeFile;

class EngineTexts : public ::testing::Test {
 protected:
  void makeDatabase() {
    db_.emplace(ScratchDatabase::fromTemplate(dir_.path(), "local.fdb", DbTypeMetering));
    context_.objects.push_back({{}, {"Site", DbTypeMetering, db_->path().string(), 0, 0}});
    context_.localConnection().DB.setDatabaseName(db_->connectionName());
    ASSERT_EQ(OpenLocalDatabase(context_, 0), kLocalOk) << context_.lastPublished();
  }

  TempDir dir_;
  EngineTestContext context_{dir_.path()};
  std::optional<ScratchDatabase> db_;
};

TEST_F(EngineTexts, ObjectMissingFromTheListIsNamedByItsPosition) {
  EXPECT_NE(ReplicateObject(context_, 5), 0);
  EXPECT_EQ(context_.lastPublished().rfind("Нет объекта в позиции 5", 0), 0u) << context_.lastPublished();
  PrepareRemoteDatabase(context_, 6);
  EXPECT_EQ(context_.lastPublished().rfind("Нет объекта в позиции 6", 0), 0u) << context_.lastPublished();
  EXPECT_EQ(OpenLocalDatabase(context_, 7), kLocalConnectFailed);
  EXPECT_EQ(context_.lastPublished(), "Ошибка подключения к локальной БД Нет объекта в позиции 7");
}

TEST_F(EngineTexts, CutOffLastRowIsRecordedAsIncomplete) {
  makeDatabase();
  writeFile(resultFile(context_), "1\t1\t1\t01.01.2024\r\n2\t1");
  EXPECT_FALSE(ApplyResultFile(context_, 0, BatchKind::BatchCurrentValues));
  EXPECT_NE(cp1251ToUtf8(readFile(dir_ / kRowErrorFileName)).find(" Неполная строка в конце файла\r\n"),
            std::string::npos);
}

TEST_F(EngineTexts, ResultFileThatCannotBeOpenedOrReadFailsTheBatchSayingSo) {
  makeDatabase();
  const std::filesystem::path file = resultFile(context_);
  writeFile(file, "1\t1\t1\t01.01.2024\r\n");
  ::chmod(file.c_str(), 0);
  {
    testing_support::WithoutCapabilities asAnyAccount({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
    EXPECT_TRUE(ApplyResultFile(context_, 0, BatchKind::BatchCurrentValues));
  }
  EXPECT_EQ(context_.lastPublished(),
            "Ошибка - Невозможно открыть файл \"" + file.string() + "\". Permission denied\r\n-------");

  std::filesystem::remove(file);
  std::filesystem::create_directory(file);  // opens, but cannot be read
  EXPECT_TRUE(ApplyResultFile(context_, 0, BatchKind::BatchCurrentValues));
  EXPECT_EQ(context_.lastPublished(), "Ошибка - Невозможно прочитать файл результата\r\n-------");
}

TEST_F(EngineTexts, ConnectionLostBeforeTheGeneratorIsCreatedSaysTheLocalDatabaseIsNotConnected) {
  db_.emplace(ScratchDatabase::fromTemplate(dir_.path(), "local.fdb", DbTypeMetering));
  context_.objects.push_back({{}, {"Site", DbTypeMetering, db_->path().string(), 0, 0}});
  LocalConnection& local = context_.localConnection();
  local.DB.setDatabaseName(db_->connectionName());
  local.DB.connect();
  // The server ends the attachment that the run holds: the generator's read fails on it, and the
  // create that follows finds no connection.
  testing_support::dropConnection(local, *db_);
  EXPECT_EQ(OpenLocalDatabase(context_, 0), kLocalUpgradeFailed);
  const std::string published = context_.lastPublished();
  EXPECT_EQ(published.rfind("Ошибка обновления локальной БД: CREATE GENERATOR ", 0), 0u) << published;
  const std::string tail = "\r\nНет соединения с локальной БД";
  ASSERT_GE(published.size(), tail.size()) << published;
  EXPECT_EQ(published.substr(published.size() - tail.size()), tail) << published;
}

TEST(RowErrorFile, EntryThatCannotBeWrittenSaysWhichFile) {
  TempDir dir;
  const std::filesystem::path file = dir / "missing" / kRowErrorFileName;
  try {
    appendRowError(file, 45000.0, "refused", "execute procedure X", {});
    FAIL() << "an entry was written to a missing directory";
  } catch (const fb::Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Невозможно записать в файл " + file.string() + ": No such file or directory");
  }
}

}  // namespace
}  // namespace mirrox

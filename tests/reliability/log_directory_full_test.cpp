// The files a run writes beside the program land on a full disk (symlinks to /dev/full): the result
// files in the Log directory and the row error file. The run must fail with a message, leave the site's
// captured rows in place, and once the disk has room apply each of them exactly once.
#include <filesystem>
#include <string>

#include "engine/engine_messages.h"
#include "engine/row_error_file.h"
#include "link/cp1251.h"
#include "link/result_file.h"
#include "link/send_command.h"
#include "tests/reliability/metering_site_fixture.h"
#include "tests/support/temp_dir.h"

namespace mirrox::reliability {
namespace {

constexpr int kArchiveRows = 50;

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Which of the two result files cannot be written: the compressed one as it arrives, or the one
// it is inflated into.
class ResultFileOnFullDisk : public MeteringSiteFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(ResultFileOnFullDisk, FailsTheFetchAndTheNextRunAppliesEveryRowOnce) {
  addArchive(0, kArchiveRows);
  const std::filesystem::path spoiled = logDirectory() / GetParam();
  std::filesystem::create_symlink("/dev/full", spoiled);

  EXPECT_EQ(run(), kSendFileNotReceived) << publishedTexts();
  EXPECT_TRUE(startsWith(context_.lastPublished(), "Ошибка получения файла")) << publishedTexts();
  EXPECT_EQ(captured(), kArchiveRows);
  EXPECT_EQ(applied(), 0);

  std::filesystem::remove(spoiled);
  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_EQ(captured(), 0);
  EXPECT_EQ(applied(), kArchiveRows);
  EXPECT_EQ(appliedDistinct(), kArchiveRows);
}

INSTANTIATE_TEST_SUITE_P(LogDirectory, ResultFileOnFullDisk,
                         ::testing::Values(kCompressedResultFileName, kResultFileName));

// The local database refuses one archive row, whose entry in the row error file cannot be written.
class RowErrorFileOnFullDisk : public MeteringSiteFixture {
 protected:
  static constexpr int kRefusedValue = 7;

  void SetUp() override {
    MeteringSiteFixture::SetUp();
    local_->exec("create exception E_REFUSED 'refused by the local database'");
    local_->exec(
        "create trigger REFUSE_ONE for RASHOD2004 before insert as begin "
        "if (new.RASHOD_VALUE = " +
        std::to_string(kRefusedValue) + ") then exception E_REFUSED; end");
  }
};

TEST_F(RowErrorFileOnFullDisk, FailsTheBatchUntilTheRefusedRowCanBeRecorded) {
  addArchive(0, kArchiveRows);
  const std::filesystem::path errorFile = logDirectory() / kRowErrorFileName;
  std::filesystem::create_symlink("/dev/full", errorFile);

  // A refused row that cannot be recorded must not pass unnoticed: the archive batch fails, saying
  // which file could not be written, and the site keeps every row.
  EXPECT_EQ(run(), 1) << publishedTexts();
  const std::string failure =
      std::string(messages::kBatchFailed) + "Невозможно записать в файл " + errorFile.string();
  // The run's closing line carries that message too: closing the site afterwards does not wipe it.
  EXPECT_EQ(context_.lastPublished().rfind(failure, 0), 0u) << publishedTexts();
  EXPECT_EQ(captured(), kArchiveRows);
  // The rows before the refused one are committed when the local connection closes; they come
  // again with the next run, and the archive's procedure keeps no second copy of a row.
  EXPECT_EQ(applied(), kRefusedValue);

  // With room on the disk the refused row goes to the row error file and the others are applied.
  std::filesystem::remove(errorFile);
  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_NE(publishedTexts().find(std::string(messages::kRowErrorsSee) + kRowErrorFileName),
            std::string::npos)
      << publishedTexts();
  EXPECT_EQ(captured(), 0);
  EXPECT_EQ(applied(), kArchiveRows - 1);
  EXPECT_EQ(appliedDistinct(), kArchiveRows - 1);
  const std::string recorded = cp1251ToUtf8(testing_support::readFile(errorFile));
  EXPECT_NE(recorded.find("refused by the local database"), std::string::npos) << recorded;
  EXPECT_NE(recorded.find(std::to_string(kRefusedValue) + ":"), std::string::npos) << recorded;

  ASSERT_EQ(run(), 0) << publishedTexts();
  EXPECT_EQ(applied(), kArchiveRows - 1);
}

}  // namespace
}  // namespace mirrox::reliability

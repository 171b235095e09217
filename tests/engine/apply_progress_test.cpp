// The progress an application reports while a result file's rows go to the local server: rows
// applied and the share of the file read, after packs of rows and never per row.
#include <gtest/gtest.h>

#include "engine/batch_apply.h"
#include "fb/error.h"
#include "link/progress.h"
#include "tests/engine/put_procedure.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/progress_recorder.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::EngineTestContext;
using testing_support::ProgressRecorder;
using testing_support::ScratchDatabase;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr std::size_t kRowsPerPack = 400;  // of kPutCall's four inputs a row

std::string rows(int count, int badDateAt = -1) {
  std::string text;
  for (int id = 1; id <= count; ++id) {
    const std::string at = id == badDateAt ? "31.02.2024 10:00:00" : "01.02.2024 10:00:00";
    text += std::to_string(id) + "\tr" + std::to_string(id % 1000) + "\t" + at + "\t1.5\r\n";
  }
  return text;
}

class ApplyProgressTest : public ::testing::Test {
 protected:
  ApplyProgressTest() {
    db_.emplace(dir_.path(), "local.fdb");
    testing_support::createPutProcedure(*db_);
    context_.localConnection().DB.setDatabaseName(db_->connectionName());
    context_.listener = &recorder_;
  }
  ~ApplyProgressTest() override { context_.localConnection().DB.disconnect(); }

  BatchReport apply(const std::string& content) {
    writeFile(file_, content);
    context_.localConnection().DB.connect();
    return BatchApply(context_, testing_support::kPutCall, file_, 0, BatchKind::BatchArchive);
  }

  TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "repl.rc";
  EngineTestContext context_{dir_.path()};
  std::optional<ScratchDatabase> db_;
  ProgressRecorder recorder_;
};

TEST_F(ApplyProgressTest, RowsAndShareAreReportedAfterEveryPackAndTheWholeFileAtTheEnd) {
  // Every look at the clock finds a report due: what is reported shows where the engine looks.
  context_.manualClock.advanceOnEveryReading(1s);
  const std::string content = rows(3000);
  EXPECT_EQ(apply(content).rowsApplied, 3000u);

  const std::vector<Progress> reports = recorder_.reports(ProgressStep::Applying);
  // Seven full packs, then the 200 rows that fill none, told once at the end: never a row alone.
  ASSERT_EQ(reports.size(), 8u);
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].count, std::min((i + 1) * kRowsPerPack, std::size_t{3000}));
    EXPECT_EQ(reports[i].total, content.size());
    EXPECT_EQ(reports[i].batchKind, static_cast<std::int32_t>(BatchKind::BatchArchive));
    if (i > 0) {
      EXPECT_GT(reports[i].done, reports[i - 1].done);
      EXPECT_GT(reports[i].elapsed, reports[i - 1].elapsed);
    }
  }
  // The reader is never behind the rows applied, nor ahead by more than what it buffers.
  EXPECT_GE(reports[0].done, rows(400).size());
  EXPECT_LT(reports[6].done, content.size());
  EXPECT_EQ(reports.back().done, content.size());
  ASSERT_EQ(recorder_.ends(), 1);
  EXPECT_TRUE(recorder_.events.back().ended);
}

TEST_F(ApplyProgressTest, BatchThatFailsEndsItsReportsShortOfTheWholeFile) {
  context_.manualClock.advanceOnEveryReading(1s);
  const std::string content = rows(3000, 2500);  // the 31st of February stops the batch
  EXPECT_THROW(apply(content), fb::Error);
  const std::vector<Progress> reports = recorder_.reports(ProgressStep::Applying);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().count, 2400u);
  for (const Progress& report : reports) EXPECT_LT(report.done, content.size());
  ASSERT_EQ(recorder_.ends(), 1);
  EXPECT_TRUE(recorder_.events.back().ended);
}

TEST_F(ApplyProgressTest, StillClockGivesOnlyTheFiguresAtTheEnd) {
  const std::string content = rows(3000);
  apply(content);
  const std::vector<Progress> reports = recorder_.reports(ProgressStep::Applying);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].count, 3000u);
  EXPECT_EQ(reports[0].done, content.size());
  EXPECT_EQ(reports[0].elapsed, 0ms);
}

TEST_F(ApplyProgressTest, NobodyListeningCostsTheBatchNoLookAtTheClock) {
  context_.listener = nullptr;
  EXPECT_EQ(apply(rows(3000)).rowsApplied, 3000u);
  EXPECT_EQ(context_.manualClock.readings(), 0);
  EXPECT_TRUE(recorder_.events.empty());
}

}  // namespace
}  // namespace mirrox

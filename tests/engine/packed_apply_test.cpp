// Rows applied in packs must come out exactly as rows applied one call each: the same local rows,
// the same row error file byte for byte, the same failure of the batch at the same row.
#include <gtest/gtest.h>

#include "engine/batch_apply.h"
#include "engine/db_type.h"
#include "engine/local_upgrade.h"
#include "engine/row_error_file.h"
#include "fb/error.h"
#include "link/result_file.h"
#include "tests/engine/put_procedure.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::EngineTestContext;
using testing_support::readFile;
using testing_support::ScratchDatabase;
using testing_support::TempDir;
using testing_support::writeFile;
using Rows = std::vector<std::vector<InputValue>>;

constexpr const char* kCall = testing_support::kPutCall;

std::string row(int id, const std::string& name = "n", const std::string& at = "01.02.2024 10:00:00",
                const std::string& n = "1.5") {
  return (id < 0 ? std::string() : std::to_string(id)) + "\t" + name + "\t" + at + "\t" + n + "\r\n";
}

std::string rows(int from, int to) {
  std::string text;
  for (int id = from; id <= to; ++id) text += row(id, "r" + std::to_string(id));
  return text;
}

// What one way of applying a file left behind.
struct Outcome {
  std::optional<std::string> batchError;  // the batch failed with this message
  BatchReport report;
  Rows stored;            // committed once the connection is closed
  std::string errorFile;  // bytes of replica_error.txt, "" when there is none
};

// One local database and run context per way of applying, each with its own row error file.
class Applier {
 public:
  explicit Applier(const std::string& name) : context_(dir_.path() / name) {
    std::filesystem::create_directories(dir_.path() / name);
    context_.manualClock.set(encodeDateTime({2024, 3, 7, 9, 5, 4, 0}));
    db_.emplace(dir_.path() / name, "local.fdb");
    testing_support::createPutProcedure(*db_);
    context_.localConnection().DB.setDatabaseName(db_->connectionName());
  }

  Outcome apply(const std::string& content, std::size_t rowsPerPack) {
    const auto file = dir_.path() / "rows.txt";
    writeFile(file, content);
    Outcome outcome;
    LocalConnection& local = context_.localConnection();
    local.DB.connect();
    try {
      outcome.report = BatchApply(context_, kCall, file, rowsPerPack);
    } catch (const fb::Error& error) {
      outcome.batchError = error.what();
    }
    // As at the start of the next run: whatever the failed batch executed is committed now.
    local.DB.disconnect();
    outcome.stored = db_->rows("select ID, NAME, cast(STAMP as varchar(24)), N from T order by ID");
    const auto errors = context_.rowErrorDirectory() / kRowErrorFileName;
    if (std::filesystem::exists(errors)) outcome.errorFile = readFile(errors);
    return outcome;
  }

 private:
  TempDir dir_;
  EngineTestContext context_;
  std::optional<ScratchDatabase> db_;
};

struct FileCase {
  const char* name;
  std::string content;
  bool batchFails;
};

void PrintTo(const FileCase& c, std::ostream* out) { *out << c.name; }

class PackedAgainstAlone : public ::testing::TestWithParam<FileCase> {};

TEST_P(PackedAgainstAlone, GivesTheSameRowsErrorEntriesAndBatchOutcome) {
  constexpr std::size_t kPack = 4;
  Applier packed("packed");
  Applier alone("alone");
  const Outcome byPack = packed.apply(GetParam().content, kPack);
  const Outcome byRow = alone.apply(GetParam().content, 1);

  EXPECT_EQ(byPack.batchError, byRow.batchError);
  EXPECT_EQ(byRow.batchError.has_value(), GetParam().batchFails) << byRow.batchError.value_or("");
  EXPECT_EQ(byPack.stored, byRow.stored);
  EXPECT_EQ(byPack.errorFile, byRow.errorFile);
  EXPECT_EQ(byPack.report.rowsApplied, byRow.report.rowsApplied);
  EXPECT_EQ(byPack.report.rowsFailed, byRow.report.rowsFailed);
  // Every case has something to compare: a refused row or a failed batch.
  EXPECT_TRUE(byRow.batchError || !byRow.errorFile.empty());
  // The entries name the call, never the pack around it.
  EXPECT_EQ(byPack.errorFile.find("EXECUTE BLOCK"), std::string::npos);
  EXPECT_EQ(byPack.errorFile.find("At block line"), std::string::npos);
  EXPECT_EQ(byRow.report.packsApplied, 0u);
  if (!byPack.batchError) {
    // Only the packs that held a refused row, and the rows after the last full pack, went one call
    // a row.
    EXPECT_GE(byPack.report.packsApplied, 1u);
    const std::size_t rowsAlone =
        byPack.report.rowsApplied + byPack.report.rowsFailed - byPack.report.packsApplied * kPack;
    EXPECT_LT(rowsAlone, (byPack.report.rowsFailed + 1) * kPack);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PackedAgainstAlone,
    ::testing::Values(FileCase{"NullKeyInTheFirstPack", rows(1, 1) + row(-1) + rows(3, 10), false},
                      FileCase{"UnreadableNumberInAMiddlePack",
                               rows(1, 5) + row(6, "x", "01.02.2024", "1,5") + rows(7, 12), false},
                      FileCase{"DuplicateKeyAsTheLastRowOfTheLastFullPack", rows(1, 11) + row(1), false},
                      FileCase{"FailingRowInTheLastPartialPack", rows(1, 9) + row(-1), false},
                      FileCase{"TwoFailingRowsInOnePack", rows(1, 4) + row(-1) + row(6) + row(6) + rows(8, 9),
                               false},
                      FileCase{"RowThatFailsOnlyBecauseOfAnEarlierRowOfItsPack",
                               rows(1, 5) + row(5, "again") + rows(7, 9), false},
                      FileCase{"NumberTooLongForItsRoomInsideAPack",
                               rows(1, 2) + row(3, "x", "", std::string(300, '1')) + rows(4, 8), false},
                      FileCase{"CutOffLastRowAfterAPartialPack", rows(1, 9) + "10\tx", false},
                      FileCase{"ImpossibleDateInsideAPack",
                               rows(1, 5) + row(6, "x", "31.02.2024 01:00:00") + rows(7, 12), true},
                      FileCase{"TextTooLongInsideAPackAfterARefusedRow",
                               rows(1, 4) + row(-1) + row(6, "ninechars") + rows(7, 9), true}),
    [](const ::testing::TestParamInfo<FileCase>& param) { return std::string(param.param.name); });

TEST(PackedApply, CleanFileGoesInFullPacksAndTheRestOneCallARow) {
  Applier packed("packed");
  const Outcome outcome = packed.apply(rows(1, 10), 4);
  EXPECT_FALSE(outcome.batchError);
  EXPECT_EQ(outcome.report.packsApplied, 2u);
  EXPECT_EQ(outcome.report.rowsApplied, 10u);
  ASSERT_EQ(outcome.stored.size(), 10u);
  EXPECT_EQ(outcome.stored[9], (std::vector<InputValue>{"10", "r10", "2024-02-01 10:00:00.0000", "1.50"}));
  EXPECT_TRUE(outcome.errorFile.empty());
}

// The five calls of the replication on their own procedures, packed and one call a row.
class ReplicationPacks : public ::testing::Test {
 protected:
  struct Local {
    TempDir dir;
    EngineTestContext context{dir.path()};
    std::optional<ScratchDatabase> db;

    explicit Local(std::int32_t dbType) {
      context.manualClock.set(encodeDateTime({2024, 3, 7, 9, 5, 4, 0}));
      db.emplace(ScratchDatabase::fromTemplate(dir.path(), "local.fdb", dbType));
      context.objects.push_back({{}, {"Site", dbType, db->path().string(), 0, 0}});
      context.objects.push_back({{}, {"Site", dbType, db->path().string(), 0, 0}});
      context.localConnection().DB.setDatabaseName(db->connectionName());
      EXPECT_EQ(OpenLocalDatabase(context, 0), kLocalOk) << context.lastPublished();
    }

    BatchReport apply(BatchKind kind, const std::string& content, std::size_t rowsPerPack) {
      writeFile(resultFile(context), content);
      context.localConnection().DB.connect();
      const BatchReport report =
          BatchApply(context, batchStatement(kind, 1), resultFile(context), rowsPerPack);
      context.localConnection().DB.disconnect();
      return report;
    }
  };

  static std::string addressRows() {
    std::string text;
    for (int channel = 1; channel <= 7; ++channel) {
      text += "1\t" + std::to_string(1 + channel / 3) +
              "\t\xD3\xEB\xE8\xF6\xE0\t12\tA\t1\t1\t10.0.0.5\t4001\t3\t" + std::to_string(channel) + "\t5\t" +
              std::to_string(channel) + "\t1\t555\t2\t0\t0\tw\tACC\t1\r\n";
    }
    return text;
  }

  static std::string valueRows(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      // Channel 99 is not known here: its archive rows are refused.
      const int channel = i % 4 == 3 ? 99 : 1 + i % 7;
      text += std::to_string(channel) + "\t" + std::to_string(i % 3) + "\t" + std::to_string(i) + ".25\t0" +
              std::to_string(1 + i % 9) + ".02.2024 1" + std::to_string(i % 10) + ":00:00\r\n";
    }
    return text;
  }
};

TEST_F(ReplicationPacks, MeteringCallsStoreTheSameRowsPackedAsAlone) {
  Local packed(DbTypeMetering);
  Local alone(DbTypeMetering);
  for (Local* local : {&packed, &alone}) {
    const std::size_t pack = local == &packed ? 3 : 1;
    EXPECT_EQ(local->apply(BatchKind::BatchAddress, addressRows(), pack).rowsApplied, 7u);
    EXPECT_EQ(local->apply(BatchKind::BatchCurrentValues, valueRows(11), pack).rowsApplied, 11u);
    EXPECT_EQ(local->apply(BatchKind::BatchArchive, valueRows(14) + valueRows(14), pack).rowsFailed, 6u);
  }
  for (const char* select :
       {"select ID_STREET, NAME, REGION_ID from STREET order by 1",
        "select ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS from HOUSE order by 1",
        "select ID_CONC, MODEL_ID, HOUSE_ID, IP_ADDRESS, IP_PORT, RS_NUM from CONC order by 1",
        "select ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP from "
        "CHANNEL order by 1",
        "select CHANNEL_ID, PARAM, R_VALUE, REC_DATE from LASTRHV order by 1, 2, 4",
        "select CHANNEL_ID, PARAM, REC_DATE, RASHOD_VALUE from RASHOD2004 order by 1, 2, 3"}) {
    EXPECT_EQ(packed.db->rows(select), alone.db->rows(select)) << select;
  }
  // Eleven distinct values of known channels, each once although the file holds it twice.
  EXPECT_EQ(packed.db->scalar("select count(*) from RASHOD2004"), 11);
  EXPECT_EQ(readFile(packed.dir.path() / kRowErrorFileName), readFile(alone.dir.path() / kRowErrorFileName));
}

TEST_F(ReplicationPacks, JournalCallsStoreTheSameRowsPackedAsAlone) {
  std::string requests;
  std::string events;
  for (int i = 0; i < 9; ++i) {
    const std::string n = std::to_string(i);
    requests += std::to_string(10 + i % 4) + "\t0" + std::to_string(1 + i) + ".03.2024 08:00:00\t\t0\tN-" +
                n + "\tMain st " + std::to_string(i % 2) + "\tLeak\tWater\tClient " + n + "\tFitter\tc" + n +
                "\ts" + n + "\t555-0" + n + "\t2\t3\r\n";
    events += "House " + n + "\t0" + std::to_string(1 + i) + ".03.2024 08:00:00\t\t" +
              (i % 3 == 0 ? "0" + std::to_string(1 + i) + ".03.2024 09:00:00" : std::string()) +
              "\tDoor\ttag " + std::to_string(i % 4) + "\t" + n + "\tc" + n + "\r\n";
  }
  Local packed(DbTypeJournal);
  Local alone(DbTypeJournal);
  for (Local* local : {&packed, &alone}) {
    const std::size_t pack = local == &packed ? 4 : 1;
    EXPECT_EQ(local->apply(BatchKind::BatchRequests, requests, pack).rowsApplied, 9u);
    EXPECT_EQ(local->apply(BatchKind::BatchEvents, events, pack).rowsApplied, 9u);
  }
  for (const char* select :
       {"select ID_RECORD, ADDRESS_ID, FLAT_NUMBER, ALERT_ID, CLIENT_PEOPLE_ID, SERVANT_PEOPLE_ID, "
        "DATE_OPEN, "
        "DATE_CLOSE, DELETED, NUMBER, CLIENT_COMMENT_ID, SERVANT_COMMENT_ID from JOURNAL_PEOPLE_ALERTS order "
        "by 1",
        "select ADDRESS_ID, FLAT, PEOPLE_ID, PHONE_ID, ENTRANCE_NUM, FLOOR_NUM from ADDRESS_TO_PEOPLE order "
        "by 1, 2",
        "select ID_RECORD, TAG_ID, ADDRESS_ID, DATE_OPEN, DATE_CONFIRM, DATE_CLOSE, ALERT_ID, COMMENT_ID, "
        "REGISTER_NUMBER from JOURNAL_HARDWARE order by 1",
        "select ID_TAG, NAME, MAX_ID from ITEM_TAGS order by 1",
        "select ID_COMMENT, NAME from COMMENTS order by 1"}) {
    EXPECT_EQ(packed.db->rows(select), alone.db->rows(select)) << select;
  }
  EXPECT_FALSE(std::filesystem::exists(packed.dir.path() / kRowErrorFileName));
}

}  // namespace
}  // namespace mirrox

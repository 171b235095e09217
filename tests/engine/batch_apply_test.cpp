#include "engine/batch_apply.h"

#include <gtest/gtest.h>

#include "engine/engine_messages.h"
#include "engine/local_upgrade.h"
#include "engine/row_error_file.h"
#include "engine/upgrade_scripts.h"
#include "link/result_file.h"
#include "tests/support/dropped_connection.h"
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

TEST(BatchStatement, TemplatesCarryTheRegionIdAndTheLiteralArguments) {
  EXPECT_EQ(batchStatement(BatchKind::BatchArchive, 5),
            "execute procedure REPL_DATA (5,2,:p3,:p4,:p5,:p6,1)");
  EXPECT_EQ(batchStatement(BatchKind::BatchCurrentValues, 0),
            "execute procedure REPL_DATA (0,1,:p3,:p4,:p5,:p6,0)");
  EXPECT_EQ(
      batchStatement(BatchKind::BatchAddress, 3),
      "execute procedure REPL_ADDRESS (3,:p2,:p3,:p4,:p5,:p6,:p7,:p8,:p9,:p10,:p11,:p12,:p13,:p14,:p15,:p16, "
      ":p17, :p18,:p19,:p20)");
  EXPECT_EQ(batchStatement(BatchKind::BatchEvents, 9),
            "execute procedure REPL_HW (:p0, :p1, :p2,:p3,:p4,:p5,:p6,:p7)");
  EXPECT_EQ(
      batchStatement(BatchKind::BatchRequests, 9),
      "execute procedure REPL_ZAYAVKA (:p0, :p1, :p2,:p3,:p4,:p5,:p6,:p7, :p8, :p9, :p10, :p11, :p12, :p13, "
      ":p14)");
  EXPECT_THROW(batchStatement(static_cast<BatchKind>(6), 0), std::invalid_argument);
}

// One address row as the site's select writes it: ten street, house and concentrator columns, then
// the eleven channel columns (the last two are dropped here).
std::string addressRow(int street, int house, const std::string& streetName, int conc, int channel,
                       const std::string& winp = "w") {
  return std::to_string(street) + "\t" + std::to_string(house) + "\t" + streetName +
         "\t12\tA\t1\t1\t10.0.0.5\t4001\t3\t" + std::to_string(channel) + "\t" + std::to_string(conc) +
         "\t1\t1\t555\t2\t0\t0\t" + winp + "\tACC\t1";
}

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override { context_.manualClock.set(encodeDateTime({2024, 3, 7, 9, 5, 4, 0})); }

  void makeDatabase(std::int32_t dbType, int objects = 1) {
    db_.emplace(ScratchDatabase::fromTemplate(dir_.path(), "local.fdb", dbType));
    for (int i = 0; i < objects; ++i) {
      context_.objects.push_back({{}, {"Site", dbType, db_->path().string(), 0, 0}});
    }
    LocalConnection& local = context_.localConnection();
    local.DB.setDatabaseName(db_->connectionName());
    ASSERT_EQ(OpenLocalDatabase(context_, 0), kLocalOk) << context_.lastPublished();
  }

  bool apply(BatchKind kind, const std::string& content, int index = 0) {
    writeFile(resultFile(context_), content);
    return ApplyResultFile(context_, index, kind);
  }

  // Reads through a connection of its own, so only committed rows show.
  std::vector<std::vector<InputValue>> rows(const std::string& select) { return db_->rows(select); }
  std::filesystem::path errorFile() const { return dir_.path() / kRowErrorFileName; }

  // A channel 17 of concentrator 5 in house 2 on street 1, for values to refer to.
  void addChannel(int index = 0) {
    ASSERT_FALSE(apply(BatchKind::BatchAddress, addressRow(1, 2, "Street", 5, 17) + "\r\n", index));
  }

  TempDir dir_;
  EngineTestContext context_{dir_.path()};
  std::optional<ScratchDatabase> db_;
};

TEST_F(BatchTest, CurrentValuesWithoutFinalRowEndAreAllAppliedAndUpdatedInPlace) {
  makeDatabase(DbTypeMetering);
  EXPECT_FALSE(apply(
      BatchKind::BatchCurrentValues,
      "17\t1\t10.5\t01.02.2024 10:00:00\r\n17\t2\t20\t01.02.2024 10:00:00\r\n18\t1\t30.25\t1.2.2024 9:05"));
  context_.localConnection().DB.disconnect();
  auto got =
      rows("select CHANNEL_ID, PARAM, R_VALUE, cast(REC_DATE as varchar(24)) from LASTRHV order by 1, 2");
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0][2], "10.50000");
  EXPECT_EQ(got[2][2], "30.25000");
  EXPECT_EQ(got[2][3], "2024-02-01 09:05:00.0000");

  EXPECT_FALSE(apply(BatchKind::BatchCurrentValues, "17\t1\t11\t02.02.2024 10:00:00\r\n"));
  context_.localConnection().DB.disconnect();
  got =
      rows("select R_VALUE, cast(REC_DATE as varchar(24)) from LASTRHV where CHANNEL_ID = 17 and PARAM = 1");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][0], "11.00000");
  EXPECT_EQ(got[0][1], "2024-02-02 10:00:00.0000");
  EXPECT_TRUE(context_.published.empty());
}

TEST_F(BatchTest, RowEndsMayBeCrLfLoneCrOrLoneLfAndEmptyLinesCarryNothing) {
  makeDatabase(DbTypeMetering);
  EXPECT_FALSE(
      apply(BatchKind::BatchCurrentValues,
            "1\t1\t1\t01.01.2024\r2\t1\t2\t01.01.2024\n\n3\t1\t3\t01.01.2024\r\n4\t1\t4\t01.01.2024\r\n"));
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(db_->scalar("select count(*) from LASTRHV"), 4);
  EXPECT_FALSE(std::filesystem::exists(errorFile()));
}

TEST_F(BatchTest, EmptyNumericFieldBindsNullOnEveryRowAndShortRowsNeverReuseValues) {
  makeDatabase(DbTypeMetering);
  EXPECT_FALSE(apply(BatchKind::BatchCurrentValues,
                     "1\t1\t5\t01.01.2024 10:00:00\r\n2\t1\t\t01.01.2024 10:00:00\r\n3\t1\r\n4\t1\t7\t\r\n"));
  context_.localConnection().DB.disconnect();
  const auto got = rows("select CHANNEL_ID, R_VALUE, REC_DATE from LASTRHV order by 1");
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[1][1], std::nullopt);
  EXPECT_EQ(got[2][1], std::nullopt);  // not the 5 of an earlier row
  EXPECT_EQ(got[2][2], std::nullopt);
  EXPECT_EQ(got[3][2], std::nullopt);
}

TEST_F(BatchTest, AddressRowOfObjectThreeUsesRegionQualifiedIdsAndDropsExtraFields) {
  makeDatabase(DbTypeMetering, 4);
  EXPECT_FALSE(apply(BatchKind::BatchAddress,
                     addressRow(1, 2, "\xCB\xE5\xED\xE8\xED\xE0", 5, 17, "first") + "\r\n", 3));
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(rows("select ID_STREET, NAME, REGION_ID, CODE_BTI from STREET"),
            (std::vector<std::vector<InputValue>>{{"300001", "\xCB\xE5\xED\xE8\xED\xE0", "2", "0"}}));
  EXPECT_EQ(rows("select ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS from HOUSE"),
            (std::vector<std::vector<InputValue>>{{"300002", "300001", "12", "A", "1"}}));
  EXPECT_EQ(rows("select ID_CONC, MODEL_ID, UIN, HOUSE_ID, RADIO_ID, IP_ADDRESS, IP_PORT, RS_NUM, MB_DEVICE "
                 "from CONC "
                 "where INSTALL_DATE = CURRENT_DATE"),
            (std::vector<std::vector<InputValue>>{
                {"300005", "1", "0", "300002", "0", "10.0.0.5", "4001", "3", "0"}}));
  EXPECT_EQ(rows("select ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP, "
                 "PERSONALACCOUNT from CHANNEL"),
            (std::vector<std::vector<InputValue>>{
                {"300017", "300005", "1", "1", "555", "2", "0", "0", "first", std::nullopt}}));

  // Sent again with changes: the street keeps its region, the concentrator its model, the channel its WINP.
  db_->exec("update STREET set REGION_ID = 2, CODE_OMK = 9");
  std::string changed = addressRow(1, 2, "New", 5, 17, "second");
  changed.replace(changed.find("\t1\t1\t10.0.0.5"), 13, "\t1\t0\t10.0.0.6");
  EXPECT_FALSE(apply(BatchKind::BatchAddress, changed + "\r\n", 3));
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(rows("select NAME, CODE_OMK from STREET"), (std::vector<std::vector<InputValue>>{{"New", "9"}}));
  EXPECT_EQ(rows("select MODEL_ID, IP_ADDRESS from CONC"),
            (std::vector<std::vector<InputValue>>{{"1", "10.0.0.6"}}));
  EXPECT_EQ(rows("select WINP from CHANNEL"), (std::vector<std::vector<InputValue>>{{"first"}}));
}

TEST_F(BatchTest, ArchiveRowsAreInsertedOnceAndMeetTheirChannelAcrossRegions) {
  makeDatabase(DbTypeMetering, 4);
  addChannel(3);
  const std::string file = "17\t1\t1.5\t01.02.2024 01:00:00\r\n17\t1\t2.5\t01.02.2024 02:00:00\r\n";
  EXPECT_FALSE(apply(BatchKind::BatchArchive, file, 3));
  EXPECT_FALSE(apply(BatchKind::BatchArchive, file, 3));
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(db_->scalar("select count(*) from RASHOD2004 where CHANNEL_ID = 300017"), 2);
  EXPECT_FALSE(std::filesystem::exists(errorFile()));
}

TEST_F(BatchTest, FailingRowIsRecordedAndTheOthersAreCommitted) {
  makeDatabase(DbTypeMetering);
  addChannel();
  EXPECT_FALSE(apply(BatchKind::BatchArchive,
                     "17\t1\t1.5\t01.02.2024 01:00:00\r\n99\t1\t\t01.02.2024 "
                     "01:00:00\r\n17\t1\t2\t01.02.2024 02:00:00\r\n"));
  EXPECT_EQ(context_.published, std::vector<std::string>{"Ошибка! См. replica_error.txt"});
  EXPECT_FALSE(context_.localConnection().TR.active());
  EXPECT_EQ(db_->scalar("select count(*) from RASHOD2004"), 2);

  const std::string entry = readFile(errorFile());
  const std::string head = "07.03.2024 9:05:04 ";
  ASSERT_EQ(entry.rfind(head, 0), 0u) << entry;
  const std::string tail =
      "\r\nexecute procedure REPL_DATA (0,2,:p3,:p4,:p5,:p6,1)\r\n\r\n99:1::01.02.2024 01:00:00:\r\n";
  ASSERT_GE(entry.size(), tail.size());
  EXPECT_EQ(entry.substr(entry.size() - tail.size()), tail);
  EXPECT_NE(entry.find("validation error"), std::string::npos) << entry;  // RASHOD_VALUE is NOT NULL
}

TEST_F(BatchTest, ImpossibleDateStopsTheBatchWithoutCommitting) {
  makeDatabase(DbTypeMetering);
  addChannel();
  EXPECT_TRUE(apply(BatchKind::BatchArchive,
                    "17\t1\t1\t01.02.2024 01:00:00\r\n17\t1\t2\t31.02.2024 01:00:00\r\n"
                    "17\t1\t3\t01.02.2024 03:00:00\r\n"));
  ASSERT_EQ(context_.published.size(), 1u);
  EXPECT_EQ(context_.published[0], "Ошибка - Ошибка преобразования даты: \"31.02.2024 01:00:00\"\r\n-------");
  EXPECT_EQ(db_->scalar("select count(*) from RASHOD2004"), 0);
  // The executed row waits in the open transaction until the next commit or disconnect.
  EXPECT_TRUE(context_.localConnection().TR.active());
  EXPECT_FALSE(std::filesystem::exists(errorFile()));
}

TEST_F(BatchTest, TextLongerThanItsParameterFailsTheBatch) {
  makeDatabase(DbTypeMetering);
  EXPECT_TRUE(apply(BatchKind::BatchAddress, addressRow(1, 2, std::string(51, 'x'), 5, 17) + "\r\n"));
  EXPECT_EQ(context_.lastPublished().rfind("Ошибка - ", 0), 0u);
  EXPECT_NE(context_.lastPublished().find("expected length 50, actual 51"), std::string::npos);
}

TEST_F(BatchTest, MissingFileAppliesNothingAndSaysNothing) {
  makeDatabase(DbTypeMetering);
  std::filesystem::remove(resultFile(context_));
  EXPECT_FALSE(ApplyResultFile(context_, 0, BatchKind::BatchArchive));
  EXPECT_TRUE(context_.published.empty());
  EXPECT_FALSE(context_.localConnection().TR.active());
}

TEST_F(BatchTest, EmptyFileAppliesNothing) {
  makeDatabase(DbTypeMetering);
  EXPECT_FALSE(apply(BatchKind::BatchCurrentValues, ""));
  EXPECT_TRUE(context_.published.empty());
  EXPECT_FALSE(context_.localConnection().TR.active());
}

TEST_F(BatchTest, CutOffLastRowIsRecordedInsteadOfApplied) {
  makeDatabase(DbTypeMetering);
  EXPECT_FALSE(apply(BatchKind::BatchCurrentValues, "1\t1\t1\t01.01.2024\r\n2\t1"));
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(db_->scalar("select count(*) from LASTRHV"), 1);
  EXPECT_NE(readFile(errorFile()).find("2:1:::"), std::string::npos);
  EXPECT_EQ(context_.lastPublished(), "Ошибка! См. replica_error.txt");
}

TEST_F(BatchTest, MissingProcedureFailsTheBatch) {
  makeDatabase(DbTypeMetering);
  context_.localConnection().DB.disconnect();
  db_->exec("drop procedure REPL_ADDRESS");
  EXPECT_TRUE(apply(BatchKind::BatchAddress, addressRow(1, 2, "S", 5, 17) + "\r\n"));
  EXPECT_EQ(context_.lastPublished().rfind("Ошибка - ", 0), 0u);
  EXPECT_TRUE(context_.lastPublished().ends_with("\r\n-------"));
}

TEST_F(BatchTest, LostConnectionFailsTheBatchInsteadOfRecordingEveryRow) {
  makeDatabase(DbTypeMetering);
  LocalConnection& local = context_.localConnection();
  testing_support::dropConnection(local, *db_);
  EXPECT_TRUE(apply(BatchKind::BatchCurrentValues, "1\t1\t1\t01.01.2024\r\n2\t1\t1\t01.01.2024\r\n"));
  EXPECT_FALSE(std::filesystem::exists(errorFile()));
  // The next run connects again.
  local.DB.disconnect();
  EXPECT_FALSE(apply(BatchKind::BatchCurrentValues, "1\t1\t1\t01.01.2024\r\n"));
  EXPECT_EQ(db_->scalar("select count(*) from LASTRHV"), 1);
}

// One request row: flat, opened, closed, deleted, number, address, kind, group, client, servant,
// client comment, servant comment, phone, entrance, floor.
std::string requestRow(const std::string& client, const std::string& closed,
                       const std::string& clientComment) {
  return "7\t01.03.2024 08:00:00\t" + closed + "\t0\tN-1\tMain st 1\tLeak\tWater\t" + client + "\tFitter\t" +
         clientComment + "\tfixed\t555-01\t2\t3";
}

TEST_F(BatchTest, RequestSentTwiceIsStoredOnceWithItsComments) {
  makeDatabase(DbTypeJournal);
  EXPECT_FALSE(apply(BatchKind::BatchRequests, requestRow("Ivanov", "", "wet") + "\r\n"));
  EXPECT_TRUE(context_.published.empty()) << context_.lastPublished();
  context_.localConnection().DB.disconnect();
  auto got = rows(
      "select j.FLAT_NUMBER, a.NAME, p.NAME, s.NAME, j.DATE_CLOSE, j.NUMBER, c1.NAME, c2.NAME, k.NAME "
      "from JOURNAL_PEOPLE_ALERTS j join ADDRESS a on a.ID_ADDRESS = j.ADDRESS_ID "
      "left join PEOPLE p on p.ID_PEOPLE = j.CLIENT_PEOPLE_ID "
      "left join PEOPLE s on s.ID_PEOPLE = j.SERVANT_PEOPLE_ID "
      "left join COMMENTS c1 on c1.ID_COMMENT = j.CLIENT_COMMENT_ID "
      "left join COMMENTS c2 on c2.ID_COMMENT = j.SERVANT_COMMENT_ID "
      "join PEOPLE_ALERTS k on k.ID_ALERT = j.ALERT_ID");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], (std::vector<InputValue>{"7", "Main st 1", "Ivanov", "Fitter", std::nullopt, "N-1", "wet",
                                             "fixed", "Leak"}));
  EXPECT_EQ(rows("select FLAT, ENTRANCE_NUM, FLOOR_NUM from ADDRESS_TO_PEOPLE"),
            (std::vector<std::vector<InputValue>>{{"7", "2", "3"}}));

  // Again, closed and without a client name: updated in place, the resident link stays.
  EXPECT_FALSE(apply(BatchKind::BatchRequests, requestRow("", "01.03.2024 12:00:00", "wet") + "\r\n"));
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(db_->scalar("select count(*) from JOURNAL_PEOPLE_ALERTS"), 1);
  EXPECT_EQ(db_->scalar("select count(*) from JOURNAL_PEOPLE_ALERTS where CLIENT_PEOPLE_ID is null and "
                        "DATE_CLOSE = '2024-03-01 12:00:00'"),
            1);
  EXPECT_EQ(db_->scalar("select count(*) from ADDRESS_TO_PEOPLE a join PEOPLE p on p.ID_PEOPLE = a.PEOPLE_ID "
                        "where p.NAME = 'Ivanov'"),
            1);
}

TEST_F(BatchTest, HardwareEventOpensConfirmsAndClosesInOneRowOrOnlyCloses) {
  makeDatabase(DbTypeJournal);
  EXPECT_FALSE(apply(BatchKind::BatchEvents,
                     "House 5\t01.03.2024 08:00:00\t01.03.2024 08:10:00\t01.03.2024 "
                     "09:00:00\tDoor\t192.168.254.1 t1\t0\tok\r\n"
                     "House 6\t01.03.2024 08:00:00\t\t\tDoor\t192.168.254.1 t2\t0\t\r\n"
                     "House 6\t\t\t01.03.2024 10:00:00\tDoor\t192.168.254.1 t2\t0\tdone\r\n"));
  EXPECT_TRUE(context_.published.empty()) << context_.lastPublished();
  context_.localConnection().DB.disconnect();
  EXPECT_EQ(rows("select t.NAME, cast(h.DATE_CONFIRM as varchar(24)), cast(h.DATE_CLOSE as varchar(24)) "
                 "from JOURNAL_HARDWARE h join ITEM_TAGS t on t.ID_TAG = h.TAG_ID "
                 "where t.NAME starting with '192.168.254.1' order by t.NAME"),
            (std::vector<std::vector<InputValue>>{
                {"192.168.254.1 t1", "2024-03-01 08:10:00.0000", "2024-03-01 09:00:00.0000"},
                {"192.168.254.1 t2", std::nullopt, "2024-03-01 10:00:00.0000"}}));
}

// One event row: address, opened, confirmed, closed, kind, tag, registration number, comment.
std::string eventRow(const std::string& tag, const std::string& opened, const std::string& closed,
                     const std::string& comment = "c") {
  return "House\t" + opened + "\t\t" + closed + "\tDoor\t" + tag + "\t0\t" + comment + "\r\n";
}

class EventsOnce : public BatchTest {
 protected:
  void SetUp() override {
    BatchTest::SetUp();
    makeDatabase(DbTypeJournal);
  }

  // Applies as a run does and closes the connection, which commits what a stopped batch executed.
  bool applyEvents(const std::string& content) {
    const bool failed = apply(BatchKind::BatchEvents, content);
    context_.localConnection().DB.disconnect();
    return failed;
  }

  // The tag's events as (opened, closed, comment), oldest first.
  std::vector<std::vector<InputValue>> events(const std::string& tag) {
    return rows(
        "select cast(h.DATE_OPEN as varchar(24)), cast(h.DATE_CLOSE as varchar(24)), c.NAME "
        "from JOURNAL_HARDWARE h join ITEM_TAGS t on t.ID_TAG = h.TAG_ID "
        "left join COMMENTS c on c.ID_COMMENT = h.COMMENT_ID where t.NAME = '" +
        tag + "' order by h.ID_RECORD");
  }
};

TEST_F(EventsOnce, OpenAndCloseRowAppliedTwiceGivesOneEvent) {
  const std::string row = eventRow("t1", "01.03.2024 08:00:00", "01.03.2024 09:00:00");
  EXPECT_FALSE(applyEvents(row));
  EXPECT_FALSE(applyEvents(row));
  EXPECT_EQ(
      events("t1"),
      (std::vector<std::vector<InputValue>>{{"2024-03-01 08:00:00.0000", "2024-03-01 09:00:00.0000", "c"}}));
}

TEST_F(EventsOnce, BatchThatStopsPartWayAndComesAgainOverThreeRunsGivesOneEventPerRow) {
  std::string file;
  for (int i = 0; i < 9; ++i) {
    const std::string hour = std::to_string(10 + i);
    file += eventRow("tag " + std::to_string(i % 3), "01.03.2024 " + hour + ":00:00",
                     "01.03.2024 " + hour + ":30:00");
  }
  // The first run stops at the fourth row, the second at the eighth: the rows before stay applied.
  std::string first = file;
  first.insert(first.find("House", first.find("House", first.find("House", first.find("House") + 1) + 1) + 1),
               eventRow("tag x", "31.02.2024 10:00:00", ""));
  EXPECT_TRUE(applyEvents(first));
  std::string second = file;
  second.insert(second.rfind("House", second.rfind("House") - 1),
                eventRow("tag x", "31.02.2024 10:00:00", ""));
  EXPECT_TRUE(applyEvents(second));
  EXPECT_FALSE(applyEvents(file));
  for (int tag = 0; tag < 3; ++tag) EXPECT_EQ(events("tag " + std::to_string(tag)).size(), 3u) << tag;
  EXPECT_EQ(db_->scalar("select count(*) from JOURNAL_HARDWARE h join ITEM_TAGS t on t.ID_TAG = h.TAG_ID "
                        "where t.NAME starting with 'tag '"),
            9);
}

TEST_F(EventsOnce, ClosedEventChangedAtTheSiteAndCapturedAgainStaysOneEventWithItsFirstValues) {
  EXPECT_FALSE(applyEvents(eventRow("t1", "01.03.2024 08:00:00", "01.03.2024 09:00:00", "first")));
  // The site marked the event deleted and wrote another comment; its capture sends the row again.
  EXPECT_FALSE(applyEvents(eventRow("t1", "01.03.2024 08:00:00", "01.03.2024 09:00:00", "second")));
  EXPECT_EQ(events("t1"), (std::vector<std::vector<InputValue>>{
                              {"2024-03-01 08:00:00.0000", "2024-03-01 09:00:00.0000", "first"}}));
}

TEST_F(EventsOnce, NewOpeningAfterACloseIsASecondEventAndTheFirstRowAgainChangesNeither) {
  const std::string first = eventRow("t1", "01.03.2024 08:00:00", "01.03.2024 09:00:00");
  EXPECT_FALSE(applyEvents(first));
  EXPECT_FALSE(applyEvents(eventRow("t1", "01.03.2024 10:00:00", "")));
  // The first event's row comes once more while the second is open: it must neither open a third
  // event nor close the second one.
  EXPECT_FALSE(applyEvents(first));
  EXPECT_EQ(events("t1"), (std::vector<std::vector<InputValue>>{
                              {"2024-03-01 08:00:00.0000", "2024-03-01 09:00:00.0000", "c"},
                              {"2024-03-01 10:00:00.0000", std::nullopt, std::nullopt}}));
  EXPECT_FALSE(applyEvents(eventRow("t1", "01.03.2024 10:00:00", "01.03.2024 11:00:00")));
  EXPECT_EQ(events("t1").back()[1], "2024-03-01 11:00:00.0000");
  EXPECT_EQ(events("t1").size(), 2u);
}

}  // namespace
}  // namespace mirrox

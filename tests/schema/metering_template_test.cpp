// The metering template as the local server sees it: a fresh copy of the built file, attached
// through 127.0.0.1:3050 as the program attaches it.

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/schema/schema_queries.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox::test {
namespace {

using namespace testing_support;

class MeteringTemplate : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<ScratchDatabase>(ScratchDatabase::copyOf(
        dir_.path(), std::filesystem::path(MIRROX_METERING_TEMPLATE).filename().string(),
        MIRROX_METERING_TEMPLATE));
    db_ = scratch_->connect();
  }
  void TearDown() override {
    db_.reset();
    scratch_.reset();
  }

  long long count(const std::string& table, const std::string& where = "") {
    return toInt(db_->scalar("SELECT COUNT(*) FROM " + table + (where.empty() ? "" : " WHERE " + where)));
  }
  void addStreetHouseConc() {
    db_->execute("INSERT INTO STREET VALUES (1, 'Ленина', 2, 0, 0, 0)");
    db_->execute("INSERT INTO HOUSE (ID_HOUSE, STREET_ID, \"NUMBER\") VALUES (1, 1, '12')");
    db_->execute("INSERT INTO CONC VALUES (1, 1, 555, '01.02.2024', 1, NULL, NULL, NULL, NULL, 0)");
  }
  void expectFailure(const std::string& sql, const std::string& fragment) {
    try {
      db_->execute(sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const fb::Error& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
  }

  TempDir dir_;
  std::unique_ptr<ScratchDatabase> scratch_;
  std::unique_ptr<FbConnection> db_;
};

// ---- What the template holds ---------------------------------------------------------------

TEST_F(MeteringTemplate, HasExactlyTheObjectCountsOfTheSchema) {
  const ObjectCounts c = countObjects(*db_);
  EXPECT_EQ(c.tables, 31);
  EXPECT_EQ(c.views, 0);
  EXPECT_EQ(c.procedures, 78);
  EXPECT_EQ(c.triggers, 18);
  EXPECT_EQ(c.generators, 13);
  EXPECT_EQ(c.functions, 7);
  EXPECT_EQ(c.exceptions, 0);
  EXPECT_EQ(c.roles, 0);
  EXPECT_EQ(c.domains, 0);
}

// Every house write calls F_DEFSORT; the server must load the library that provides it.
TEST_F(MeteringTemplate, ServerLoadsTheSortKeyLibrary) {
  try {
    EXPECT_EQ(db_->scalar("SELECT F_DEFSORT('12а') FROM RDB$DATABASE"), "12");
  } catch (const fb::Error& e) {
    FAIL() << "the server cannot call F_DEFSORT; install testudf.dll with scripts/local-firebird"
              " start after building: "
           << e.what();
  }
}

TEST_F(MeteringTemplate, HoldsNoReplicationObject) { EXPECT_TRUE(objectsNamed(*db_, "REPL").empty()); }

TEST_F(MeteringTemplate, HasTheDatabaseProperties) {
  const auto rows = db_->query(
      "SELECT MON$PAGE_SIZE, MON$SQL_DIALECT, MON$FORCED_WRITES, MON$RESERVE_SPACE,"
      " MON$SWEEP_INTERVAL, MON$PAGE_BUFFERS FROM MON$DATABASE");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(toInt(rows[0][0]), 4096);
  EXPECT_EQ(toInt(rows[0][1]), 3);
  EXPECT_EQ(toInt(rows[0][2]), 1);
  EXPECT_EQ(toInt(rows[0][3]), 0);
  EXPECT_EQ(toInt(rows[0][4]), 20000);
  // A page cache that holds the places where a catch-up's archive rows go (the server's default
  // of 2048 pages makes a million-row catch-up several times slower).
  EXPECT_EQ(toInt(rows[0][5]), 32768);
  EXPECT_EQ(db_->scalar("SELECT TRIM(RDB$CHARACTER_SET_NAME) FROM RDB$DATABASE"), "WIN1251");
  EXPECT_EQ(count("RDB$RELATIONS", "COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$OWNER_NAME <> 'SYSDBA'"), 0);
  // Grants to anyone but the owner exist on system tables only.
  EXPECT_EQ(count("RDB$USER_PRIVILEGES",
                  "RDB$USER <> 'SYSDBA' AND RDB$RELATION_NAME NOT STARTING"
                  " WITH 'RDB$' AND RDB$RELATION_NAME NOT STARTING WITH"
                  " 'MON$' AND RDB$RELATION_NAME NOT STARTING WITH 'SEC$'"),
            0);
}

struct TableColumns {
  const char* table;
  std::vector<std::string> columns;
};

void PrintTo(const TableColumns& c, std::ostream* os) { *os << c.table; }

class MeteringRoadTable : public MeteringTemplate, public ::testing::WithParamInterface<TableColumns> {};

TEST_P(MeteringRoadTable, HasItsColumnsInOrder) {
  EXPECT_EQ(columnsOf(*db_, GetParam().table), GetParam().columns);
}

INSTANTIATE_TEST_SUITE_P(
    Road, MeteringRoadTable,
    ::testing::Values(
        TableColumns{"REGION",
                     {"ID_REGION INTEGER NOT NULL", "NAME VARCHAR(50) NOT NULL", "TYPE_ID INTEGER NOT NULL"}},
        TableColumns{"STREET",
                     {"ID_STREET INTEGER NOT NULL", "NAME VARCHAR(50) NOT NULL", "REGION_ID INTEGER NOT NULL",
                      "CODE_BTI INTEGER NOT NULL", "CODE_F0 INTEGER NOT NULL", "CODE_OMK INTEGER NOT NULL"}},
        TableColumns{"HOUSE",
                     {"ID_HOUSE INTEGER NOT NULL", "STREET_ID INTEGER NOT NULL", "NUMBER VARCHAR(8) NOT NULL",
                      "BUILDING VARCHAR(4) NOT NULL", "KORPUS VARCHAR(4) NOT NULL", "SORTNUM SMALLINT",
                      "TOTAL_PEOPLE SMALLINT", "DN NUMERIC(5,2)", "QN NUMERIC(5,2)", "CTP_ID INTEGER",
                      "PA1CRARUS VARCHAR(32)"}},
        TableColumns{
            "CONCENTRATOR",
            {"ID_MODEL SMALLINT NOT NULL", "NAME VARCHAR(10) NOT NULL", "COMMENT VARCHAR(20) NOT NULL",
             "CLASS_ID SMALLINT NOT NULL", "INTERNAL_ID INTEGER NOT NULL"}},
        TableColumns{
            "CONC",
            {"ID_CONC INTEGER NOT NULL", "MODEL_ID SMALLINT NOT NULL", "UIN INTEGER NOT NULL",
             "INSTALL_DATE DATE NOT NULL", "HOUSE_ID INTEGER NOT NULL", "RADIO_ID INTEGER",
             "IP_ADDRESS VARCHAR(15)", "IP_PORT INTEGER", "RS_NUM INTEGER", "MB_DEVICE INTEGER NOT NULL"}},
        TableColumns{"DEVICE",
                     {"ID_DEVICE SMALLINT NOT NULL", "NAME VARCHAR(20) NOT NULL",
                      "FACTOR NUMERIC(18,6) NOT NULL", "MAX_DIGIT SMALLINT NOT NULL"}},
        TableColumns{
            "CHANNEL",
            {"ID_CHANNEL INTEGER NOT NULL", "CONC_ID INTEGER NOT NULL", "CHANNEL_NUMBER SMALLINT NOT NULL",
             "DEVICE_ID SMALLINT NOT NULL", "UIN INTEGER NOT NULL", "SERV_ID SMALLINT NOT NULL",
             "FLAT INTEGER NOT NULL", "IN_OUT SMALLINT NOT NULL", "WINP VARCHAR(32)",
             "PERSONALACCOUNT VARCHAR(32)", "KT INTEGER NOT NULL"}},
        TableColumns{"COUNTER_ETALON",
                     {"CE_ID INTEGER NOT NULL", "CHANNEL_ID INTEGER NOT NULL", "DAY_NIGHT SMALLINT NOT NULL",
                      "REC_DATE TIMESTAMP NOT NULL", "R_VALUE NUMERIC(18,5)", "A INTEGER", "B INTEGER"}},
        TableColumns{"LASTRHV",
                     {"CHANNEL_ID INTEGER", "PARAM SMALLINT", "R_VALUE NUMERIC(18,5)", "REC_DATE TIMESTAMP"}},
        TableColumns{
            "BOUNDS",
            {"CHANNEL_ID INTEGER NOT NULL", "PARAM INTEGER", "VMIN DOUBLE PRECISION", "VMAX DOUBLE PRECISION",
             "STATUS INTEGER NOT NULL", "STIME TIMESTAMP", "SVALUE DOUBLE PRECISION"}},
        TableColumns{"RASHOD2004",
                     {"CHANNEL_ID INTEGER NOT NULL", "PARAM SMALLINT NOT NULL", "REC_DATE TIMESTAMP NOT NULL",
                      "RASHOD_VALUE NUMERIC(18,5) NOT NULL"}}),
    [](const ::testing::TestParamInfo<TableColumns>& param) { return std::string(param.param.table); });

TEST_F(MeteringTemplate, HoldsTheReferenceRowsAndNothingElseOnTheRoad) {
  EXPECT_EQ(db_->query("SELECT ID_REGION, NAME, TYPE_ID FROM REGION"),
            (std::vector<Row>{{"2", "Тестовая карта", "611"}}));
  EXPECT_EQ(count("CONCENTRATOR"), 11);
  EXPECT_EQ(db_->query("SELECT NAME, \"COMMENT\", CLASS_ID FROM CONCENTRATOR WHERE ID_MODEL = 0"),
            (std::vector<Row>{{"Неизвестна", "Неопределена", "0"}}));
  EXPECT_EQ(db_->query("SELECT ID_MODEL, CLASS_ID FROM CONCENTRATOR ORDER BY ID_MODEL"),
            (std::vector<Row>{{"0", "0"},
                              {"1", "1"},
                              {"2", "1"},
                              {"3", "1"},
                              {"4", "1"},
                              {"5", "1"},
                              {"101", "2"},
                              {"111", "2"},
                              {"201", "3"},
                              {"1001", "10"},
                              {"1002", "10"}}));
  EXPECT_EQ(db_->scalar("SELECT \"COMMENT\" FROM CONCENTRATOR WHERE ID_MODEL = 2"), "8-канальный");
  EXPECT_EQ(count("CONCENTRATOR", "INTERNAL_ID <> 0"), 0);

  EXPECT_EQ(count("DEVICE"), 64);
  EXPECT_EQ(count("DEVICE",
                  "ID_DEVICE BETWEEN 1001 AND 1018 OR ID_DEVICE BETWEEN 1020 AND 1027"
                  " OR ID_DEVICE BETWEEN 1030 AND 1054 OR ID_DEVICE IN (1, 2, 10, 1056,"
                  " 1057, 1058, 1100, 1199) OR ID_DEVICE BETWEEN 1200 AND 1204"),
            64);
  EXPECT_EQ(db_->query("SELECT ID_DEVICE, FACTOR FROM DEVICE WHERE FACTOR <> 1 ORDER BY 1"),
            (std::vector<Row>{{"1", "0.010000"}, {"2", "0.100000"}, {"10", "3200.000000"}}));
  EXPECT_EQ(count("DEVICE", "MAX_DIGIT = 11"), 10);
  EXPECT_EQ(count("DEVICE",
                  "MAX_DIGIT = 11 AND (ID_DEVICE IN (1014, 1016, 1017) OR"
                  " ID_DEVICE BETWEEN 1021 AND 1027)"),
            10);
  EXPECT_EQ(count("DEVICE", "MAX_DIGIT = 0"), 22);
  EXPECT_EQ(count("DEVICE",
                  "MAX_DIGIT = 0 AND (ID_DEVICE IN (1018, 1056, 1057, 1058) OR"
                  " ID_DEVICE BETWEEN 1037 AND 1054)"),
            22);
  EXPECT_EQ(count("DEVICE", "NAME = ''"), 0);

  EXPECT_EQ(db_->query("SELECT ID_SERV, NAME FROM SERVICE ORDER BY ID_SERV"),
            (std::vector<Row>{{"1", "ХВС"},
                              {"2", "ГВС"},
                              {"3", "Отопление"},
                              {"4", "Электроэнергия"},
                              {"5", "ГАЗ"},
                              {"102", "ГВСо"}}));
  EXPECT_EQ(count("PARAMETR"), 93);
  EXPECT_EQ(count("DEV_PARAM"), 15);
  EXPECT_EQ(count("TEMPER_GRAPH_NAME"), 5);
  EXPECT_EQ(count("DBOPC"), 16);
  for (const char* table : {"STREET",
                            "HOUSE",
                            "CONC",
                            "CHANNEL",
                            "COUNTER_ETALON",
                            "LASTRHV",
                            "BOUNDS",
                            "RASHOD2004",
                            "ARENDATOR",
                            "ARENDATOR_RASH",
                            "COMMANDS",
                            "CONC_IP_NASTR",
                            "CTP",
                            "DEV_INFO",
                            "EVENTS",
                            "MODBUS_GROUP",
                            "MODBUS_GROUP_ELEMENTS",
                            "MODBUS_INFO",
                            "MODBUS_SETT",
                            "MODBUS_TRANSLATE",
                            "PROBLEM",
                            "TEMP",
                            "TEMPER_GRAPH"}) {
    EXPECT_EQ(count(table), 0) << table;
  }
}

TEST_F(MeteringTemplate, GeneratorsHoldTheirTemplateValues) {
  const std::vector<std::pair<std::string, long long>> expected = {{"GEN_CHANNEL_ID", 10},
                                                                   {"GEN_CONC_ID", 316},
                                                                   {"GEN_COUNTER_ETALON_ID", 1},
                                                                   {"GEN_PROBLEM_ID", 1},
                                                                   {"GEN_ARENDATOR_ID", 1},
                                                                   {"GEN_ARENDATOR_RASH_ID", 1},
                                                                   {"GEN_MODBUS_SETT_ID", 0},
                                                                   {"GEN_TEMPER_GRAPH_ID", 0},
                                                                   {"GEN_MODBUS_GROUP_ID", 0},
                                                                   {"GEN_MODBUS_GROUP_ELEMENTS_ID", 0},
                                                                   {"GEN_COMMANDS_ID", 0},
                                                                   {"DBVERSION", 178},
                                                                   {"CTPID", 1}};
  for (const auto& [name, value] : expected) {
    EXPECT_EQ(db_->generator(name), value) << name;
  }
}

// ---- Triggers on the road ------------------------------------------------------------------

TEST_F(MeteringTemplate, KeysComeFromGeneratorsOnlyWhenNull) {
  addStreetHouseConc();
  db_->execute("INSERT INTO CONC (ID_CONC, MODEL_ID, HOUSE_ID) VALUES (NULL, 0, 1)");
  EXPECT_EQ(db_->scalar("SELECT MAX(ID_CONC) FROM CONC"), "317");
  db_->execute("INSERT INTO CONC (ID_CONC, MODEL_ID, HOUSE_ID) VALUES (5000, 0, 1)");
  EXPECT_EQ(db_->generator("GEN_CONC_ID"), 317);

  db_->execute(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID)"
      " VALUES (NULL, 1, 1, 1001, 7, 1)");
  EXPECT_EQ(db_->scalar("SELECT ID_CHANNEL FROM CHANNEL WHERE CHANNEL_NUMBER = 1"), "11");
  db_->execute(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID)"
      " VALUES (900, 1, 2, 1001, 8, 1)");
  EXPECT_EQ(db_->generator("GEN_CHANNEL_ID"), 11);

  db_->execute(
      "INSERT INTO COUNTER_ETALON (CE_ID, CHANNEL_ID, DAY_NIGHT, REC_DATE)"
      " VALUES (NULL, 900, 0, '01.01.2024')");
  EXPECT_EQ(db_->scalar("SELECT CE_ID FROM COUNTER_ETALON"), "2");
  db_->execute(
      "INSERT INTO COUNTER_ETALON (CE_ID, CHANNEL_ID, DAY_NIGHT, REC_DATE)"
      " VALUES (77, 900, 1, '01.01.2024')");
  EXPECT_EQ(db_->generator("GEN_COUNTER_ETALON_ID"), 2);
}

TEST_F(MeteringTemplate, ChannelBelowModel1000GetsAZeroStartingReadingOfYesterday) {
  addStreetHouseConc();
  db_->execute(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID)"
      " VALUES (40, 1, 1, 1, 100, 1)");
  const auto rows = db_->query(
      "SELECT CHANNEL_ID, DAY_NIGHT, R_VALUE, A, B,"
      " IIF(REC_DATE = CAST(CURRENT_DATE - 1 AS TIMESTAMP), 'yesterday', CAST(REC_DATE AS"
      " VARCHAR(30))) FROM COUNTER_ETALON");
  EXPECT_EQ(rows, (std::vector<Row>{{"40", "0", "0.00000", "2", "0", "yesterday"}}));

  db_->execute(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID)"
      " VALUES (41, 1, 2, 1001, 101, 1)");
  EXPECT_EQ(count("COUNTER_ETALON", "CHANNEL_ID = 41"), 0);
  db_->execute(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID)"
      " VALUES (42, 1, 3, 10, 102, 1)");
  EXPECT_EQ(count("COUNTER_ETALON", "CHANNEL_ID = 42 AND A = 2"), 1);
}

TEST_F(MeteringTemplate, HouseSortKeyFollowsTheNumberOnly) {
  db_->execute("INSERT INTO STREET VALUES (1, 'Мира', 2, 0, 0, 0)");
  db_->execute(
      "INSERT INTO HOUSE (ID_HOUSE, STREET_ID, \"NUMBER\", SORTNUM) VALUES (1, 1, '10а',"
      " 999)");
  db_->execute("INSERT INTO HOUSE (ID_HOUSE, STREET_ID, \"NUMBER\") VALUES (2, 1, '2')");
  db_->execute("INSERT INTO HOUSE (ID_HOUSE, STREET_ID, \"NUMBER\") VALUES (3, 1, '99999')");
  EXPECT_EQ(db_->query("SELECT ID_HOUSE, SORTNUM FROM HOUSE ORDER BY SORTNUM, \"NUMBER\""),
            (std::vector<Row>{{"2", "2"}, {"1", "10"}, {"3", "32767"}}));

  // An update that keeps the number keeps the key the update sets.
  db_->execute("UPDATE HOUSE SET SORTNUM = 5, BUILDING = '1' WHERE ID_HOUSE = 1");
  EXPECT_EQ(db_->scalar("SELECT SORTNUM FROM HOUSE WHERE ID_HOUSE = 1"), "5");
  db_->execute("UPDATE HOUSE SET TOTAL_PEOPLE = 3 WHERE ID_HOUSE = 1");
  EXPECT_EQ(db_->scalar("SELECT SORTNUM FROM HOUSE WHERE ID_HOUSE = 1"), "5");
  // A new number recomputes it, whatever the update sets.
  db_->execute("UPDATE HOUSE SET \"NUMBER\" = '7/2', SORTNUM = 1000 WHERE ID_HOUSE = 1");
  EXPECT_EQ(db_->scalar("SELECT SORTNUM FROM HOUSE WHERE ID_HOUSE = 1"), "7");
}

TEST_F(MeteringTemplate, BoundAlarmChangesOnlyOnACrossing) {
  db_->execute(
      "INSERT INTO BOUNDS (CHANNEL_ID, PARAM, VMIN, VMAX, STATUS) VALUES (5, 10001, 10,"
      " 20, 0)");
  auto state = [this] {
    return db_->query(
        "SELECT STATUS, CAST(STIME AS VARCHAR(24)), CAST(SVALUE AS INTEGER)"
        " FROM BOUNDS");
  };
  db_->execute(
      "INSERT INTO LASTRHV (CHANNEL_ID, PARAM, R_VALUE, REC_DATE) VALUES (5, 10001, 25,"
      " '2024-03-01 10:00:00')");
  EXPECT_EQ(state(), (std::vector<Row>{{"1", "2024-03-01 10:00:00.0000", "25"}}));
  db_->execute("UPDATE LASTRHV SET R_VALUE = 21, REC_DATE = '2024-03-01 11:00:00'");
  EXPECT_EQ(state(), (std::vector<Row>{{"1", "2024-03-01 10:00:00.0000", "25"}}));
  db_->execute("UPDATE LASTRHV SET R_VALUE = 20, REC_DATE = '2024-03-01 12:00:00'");
  EXPECT_EQ(state(), (std::vector<Row>{{"0", "2024-03-01 12:00:00.0000", "20"}}));
  db_->execute("UPDATE LASTRHV SET R_VALUE = 10, REC_DATE = '2024-03-01 13:00:00'");
  EXPECT_EQ(state(), (std::vector<Row>{{"0", "2024-03-01 12:00:00.0000", "20"}}));
  db_->execute("UPDATE LASTRHV SET R_VALUE = 9, REC_DATE = '2024-03-01 14:00:00'");
  EXPECT_EQ(state(), (std::vector<Row>{{"1", "2024-03-01 14:00:00.0000", "9"}}));

  // Values of other channels and parameters leave the bounds alone.
  db_->execute(
      "INSERT INTO LASTRHV (CHANNEL_ID, PARAM, R_VALUE, REC_DATE) VALUES (5, 10002, 15,"
      " '2024-03-01 15:00:00')");
  db_->execute(
      "INSERT INTO LASTRHV (CHANNEL_ID, PARAM, R_VALUE, REC_DATE) VALUES (6, 10001, 15,"
      " '2024-03-01 15:00:00')");
  EXPECT_EQ(state(), (std::vector<Row>{{"1", "2024-03-01 14:00:00.0000", "9"}}));
}

TEST_F(MeteringTemplate, NullBoundNeverRaisesTheAlarm) {
  db_->execute(
      "INSERT INTO BOUNDS (CHANNEL_ID, PARAM, VMIN, VMAX, STATUS) VALUES (5, 1, NULL, 20,"
      " 0)");
  db_->execute("INSERT INTO LASTRHV VALUES (5, 1, 5, '2024-03-01 10:00:00')");
  EXPECT_EQ(db_->scalar("SELECT STATUS FROM BOUNDS"), "0");
  db_->execute("UPDATE LASTRHV SET R_VALUE = 21");
  EXPECT_EQ(db_->scalar("SELECT STATUS FROM BOUNDS"), "1");
}

TEST_F(MeteringTemplate, TwoBoundRowsForOnePairMakeTheCurrentValueWriteFail) {
  db_->execute("INSERT INTO BOUNDS (CHANNEL_ID, PARAM, VMIN, VMAX) VALUES (5, 1, 0, 1)");
  db_->execute("INSERT INTO BOUNDS (CHANNEL_ID, PARAM, VMIN, VMAX) VALUES (5, 1, 0, 2)");
  expectFailure("INSERT INTO LASTRHV VALUES (5, 1, 5, '2024-03-01 10:00:00')", "multiple rows");
  EXPECT_EQ(count("LASTRHV"), 0);
}

TEST_F(MeteringTemplate, SetBoundCreatesUpdatesAndDeletesOneRowPerPair) {
  addStreetHouseConc();
  db_->execute(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID)"
      " VALUES (40, 1, 3, 1001, 100, 1)");
  db_->execute("EXECUTE PROCEDURE SET_BOUND(1, 3, 10001, 10, 20)");
  db_->execute("EXECUTE PROCEDURE SET_BOUND(1, 3, 10001, 11, 21)");
  EXPECT_EQ(db_->query("SELECT CHANNEL_ID, CAST(VMIN AS INTEGER), CAST(VMAX AS INTEGER), STATUS"
                       " FROM BOUNDS"),
            (std::vector<Row>{{"40", "11", "21", "0"}}));
  db_->execute("EXECUTE PROCEDURE SET_BOUND(1, 9, 10001, 1, 2)");  // no such channel
  EXPECT_EQ(count("BOUNDS"), 1);
  db_->execute("EXECUTE PROCEDURE SET_BOUND(1, 3, 10001, -12345, 5)");
  EXPECT_EQ(count("BOUNDS"), 1);
  db_->execute("EXECUTE PROCEDURE SET_BOUND(1, 3, 10001, -12345, -12344.5)");
  EXPECT_EQ(count("BOUNDS"), 0);
}

// ---- Keys and constraints the replication runs into ------------------------------------------

// Off the road, only these tables refer to the road tables; every other reference would make a
// delete on the road depend on tables the replication never fills.
TEST_F(MeteringTemplate, ForeignKeysFromOffTheRoadIntoTheRoadAreExactlyTheListedOnes) {
  const std::string road =
      "('REGION', 'STREET', 'HOUSE', 'CONCENTRATOR', 'CONC', 'DEVICE', 'CHANNEL', 'COUNTER_ETALON',"
      " 'LASTRHV', 'BOUNDS', 'RASHOD2004')";
  const auto rows = db_->query(
      "SELECT TRIM(fk.RDB$RELATION_NAME) || '.' || TRIM(seg.RDB$FIELD_NAME) || ' -> ' ||"
      " TRIM(uq.RDB$RELATION_NAME) || ' update ' || TRIM(ref.RDB$UPDATE_RULE) || ' delete ' ||"
      " TRIM(ref.RDB$DELETE_RULE)"
      " FROM RDB$RELATION_CONSTRAINTS fk"
      " JOIN RDB$REF_CONSTRAINTS ref ON ref.RDB$CONSTRAINT_NAME = fk.RDB$CONSTRAINT_NAME"
      " JOIN RDB$RELATION_CONSTRAINTS uq ON uq.RDB$CONSTRAINT_NAME = ref.RDB$CONST_NAME_UQ"
      " JOIN RDB$INDEX_SEGMENTS seg ON seg.RDB$INDEX_NAME = fk.RDB$INDEX_NAME"
      " WHERE fk.RDB$CONSTRAINT_TYPE = 'FOREIGN KEY' AND uq.RDB$RELATION_NAME IN " +
      road + " AND fk.RDB$RELATION_NAME NOT IN " + road + " ORDER BY 1");
  std::vector<std::string> keys;
  for (const auto& row : rows) keys.push_back(row.at(0).value_or("NULL"));
  EXPECT_EQ(keys, (std::vector<std::string>{
                      "ARENDATOR.HOUSE_ID -> HOUSE update RESTRICT delete CASCADE",
                      "CONC_IP_NASTR.CONC_ID -> CONC update CASCADE delete CASCADE",
                      "DEV_INFO.ID_CHANNEL -> CHANNEL update CASCADE delete CASCADE",
                      "MODBUS_GROUP_ELEMENTS.ELEMENT_ID -> CONC update CASCADE delete CASCADE",
                      "MODBUS_TRANSLATE.CONC_ID -> CONC update CASCADE delete CASCADE",
                  }));
}

TEST_F(MeteringTemplate, ConstraintsRefuseRowsThatBreakTheAddressTree) {
  expectFailure("INSERT INTO STREET VALUES (1, 'Садовая', 3, 0, 0, 0)", "FK_STREET");
  expectFailure("INSERT INTO HOUSE (ID_HOUSE, STREET_ID, \"NUMBER\") VALUES (1, 77, '1')", "FK_HOUSE");
  addStreetHouseConc();
  expectFailure("INSERT INTO CONC (ID_CONC, MODEL_ID) VALUES (2, 6)", "FK_CONC2");
  expectFailure(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN,"
      " SERV_ID) VALUES (1, 1, 1, 1019, 1, 1)",
      "FK_CHANNEL2");
  expectFailure(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN,"
      " SERV_ID) VALUES (1, 99, 1, 1001, 1, 1)",
      "FK_CHANNEL");
  db_->execute(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN,"
      " SERV_ID) VALUES (1, 1, 1, 1001, 1, 1)");
  expectFailure(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN,"
      " SERV_ID) VALUES (2, 1, 1, 1001, 1, 1)",
      "UNQ_CHANNEL");
  expectFailure("INSERT INTO RASHOD2004 VALUES (2, 1, '2024-01-01 10:00:00', 1)", "FK_RASHOD2004");
  expectFailure("INSERT INTO HOUSE (ID_HOUSE, STREET_ID, \"NUMBER\") VALUES (2, 1, '123456789')",
                "truncation");
  expectFailure("INSERT INTO HOUSE (ID_HOUSE, STREET_ID, \"NUMBER\") VALUES (2, 1, NULL)", "NUMBER");
}

TEST_F(MeteringTemplate, ArchiveAcceptsEqualRowsAndCurrentValuesNeedNoChannel) {
  addStreetHouseConc();
  db_->execute(
      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN,"
      " SERV_ID) VALUES (1, 1, 1, 1001, 1, 1)");
  db_->execute("INSERT INTO RASHOD2004 VALUES (1, 1, '2024-01-01 10:00:00', 1.5)");
  db_->execute("INSERT INTO RASHOD2004 VALUES (1, 1, '2024-01-01 10:00:00', 1.5)");
  EXPECT_EQ(count("RASHOD2004"), 2);
  db_->execute("INSERT INTO LASTRHV VALUES (123456, 1, 2, '2024-01-01 10:00:00')");
  EXPECT_EQ(count("LASTRHV"), 1);
}

TEST_F(MeteringTemplate, ConcentratorInstallDateDefaultsToToday) {
  db_->execute("INSERT INTO CONC (ID_CONC) VALUES (3)");
  EXPECT_EQ(db_->query("SELECT MODEL_ID, UIN, HOUSE_ID, MB_DEVICE,"
                       " IIF(INSTALL_DATE = CURRENT_DATE, 'today', 'other') FROM CONC"),
            (std::vector<Row>{{"0", "0", "0", "0", "today"}}));
}

// ---- The rest of the schema that says what it does -----------------------------------------

TEST_F(MeteringTemplate, AddressProceduresBuildTheTextsAndNextIds) {
  EXPECT_EQ(db_->scalar("SELECT ADDR FROM FILL_ADDR('12', '1', '', 'д.', 'стр.', 'корп.')"), "д.12 стр.1");
  addStreetHouseConc();
  EXPECT_EQ(db_->scalar("SELECT ADDR FROM FULL_ADDRESS(1)"), "Ленина, д.12");
  EXPECT_EQ(db_->scalar("SELECT ADDR FROM FULL_ADDRESS_REGION(1)"), "Тестовая карта, Ленина, д.12");
  EXPECT_EQ(db_->scalar("SELECT NEW_ID FROM GENSPEC_ID('REGION')"), "3");
  EXPECT_EQ(db_->scalar("SELECT NEW_ID FROM GENSPEC_ID('STREET')"), "2");
  EXPECT_EQ(db_->scalar("SELECT NEW_ID FROM GENSPEC_ID('HOUSE')"), "2");
  EXPECT_EQ(db_->scalar("SELECT NEW_ID FROM GENSPEC_ID('CONC')"), std::nullopt);
  EXPECT_EQ(db_->scalar("SELECT VERSION FROM KDS_VERSION"), "178");
}

TEST_F(MeteringTemplate, ModbusTriggersKeepReferencesConsistent) {
  addStreetHouseConc();
  db_->execute("INSERT INTO MODBUS_INFO (ID, NAME) VALUES (4, 'Счётчик ОВЕН')");
  db_->execute("UPDATE CONC SET MB_DEVICE = 4 WHERE ID_CONC = 1");
  db_->execute(
      "INSERT INTO MODBUS_SETT (ID, MB_DEVICE, REG_ADDR, PARAM, TRANSLATE)"
      " VALUES (NULL, 4, 100, 10001, 1)");
  EXPECT_EQ(db_->scalar("SELECT ID FROM MODBUS_SETT"), "1");
  db_->execute("INSERT INTO MODBUS_TRANSLATE VALUES (1, 1, 7, NULL)");
  db_->execute("INSERT INTO MODBUS_TRANSLATE VALUES (1, 2, 8, NULL)");
  db_->execute("UPDATE MODBUS_TRANSLATE SET CHANNEL = 0 WHERE SETT_ID = 2");
  EXPECT_EQ(count("MODBUS_TRANSLATE"), 1);
  db_->execute("UPDATE MODBUS_SETT SET TRANSLATE = 0");
  EXPECT_EQ(count("MODBUS_TRANSLATE"), 0);
  db_->execute("DELETE FROM MODBUS_INFO");
  EXPECT_EQ(db_->scalar("SELECT MB_DEVICE FROM CONC"), "0");
}

TEST_F(MeteringTemplate, TariffFunctionsSplitConsumptionByHour) {
  EXPECT_EQ(db_->query("SELECT CAST(F_IPU_RESULT(S, 0) AS NUMERIC(9,2)),"
                       " CAST(F_IPU_RESULT(S, 1) AS NUMERIC(9,2)), F_IPU_CLOSE(S) FROM ("
                       " SELECT F_IPU_DATA(F_IPU_DATA(F_IPU_PREPARE('23-7'),"
                       " TIMESTAMP '2024-01-01 03:30:00', 2.5), TIMESTAMP '2024-01-01 12:00:00',"
                       " 4) S FROM RDB$DATABASE)"),
            (std::vector<Row>{{"4.00", "2.50", "0"}}));
  EXPECT_EQ(db_->scalar("SELECT F_IPU_CLOSE(F_IPU_PREPARE('25-3')) FROM RDB$DATABASE"), "1");
  EXPECT_EQ(db_->scalar("SELECT CAST(F_ADDMONTH(TIMESTAMP '2024-01-31 00:00:00', 1) AS DATE)"
                        " FROM RDB$DATABASE"),
            "2024-02-29");
}

}  // namespace
}  // namespace mirrox::test

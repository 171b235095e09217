// The journal template as the local server sees it: a fresh copy of the built file, attached
// through 127.0.0.1:3050 with the connection character set WIN1251, as the program attaches it.

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

class JournalTemplate : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<ScratchDatabase>(ScratchDatabase::copyOf(
        dir_.path(), std::filesystem::path(MIRROX_JOURNAL_TEMPLATE).filename().string(),
        MIRROX_JOURNAL_TEMPLATE));
    db_ = scratch_->connect();
  }
  void TearDown() override {
    db_.reset();
    scratch_.reset();
  }

  long long count(const std::string& table, const std::string& where = "") {
    return toInt(db_->scalar("SELECT COUNT(*) FROM " + table + (where.empty() ? "" : " WHERE " + where)));
  }
  void expectFailure(const std::string& sql, const std::vector<Value>& params, const std::string& fragment) {
    try {
      db_->execute(sql, params);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const fb::Error& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
  }

  Value addAddress(const Value& name) { return db_->scalar("SELECT ID_ADDRESS FROM ADD_ADDRESS(?)", {name}); }
  long long openEvent(const std::string& tag, const std::string& kind, const Value& regNumber,
                      const std::string& address = "ул. Ленина, 1") {
    return toInt(db_->scalar("SELECT RECORD_ID FROM HARDWARE_INSERT_ALERT(?, ?, ?, ?, ?)",
                             {tag, address, "01.03.2024 10:00:00", kind, regNumber}));
  }
  long long confirmEvent(const std::string& tag, const std::string& at, const Value& comment) {
    return toInt(db_->scalar("SELECT RECORD_ID FROM HARDWARE_CONFIRM_ALERT(?, ?, ?)", {tag, at, comment}));
  }
  long long closeEvent(const std::string& tag, const std::string& at, const Value& comment = "") {
    return toInt(db_->scalar("SELECT RECORD_ID FROM HARDWARE_CLOSE_ALERT(?, ?, ?)", {tag, at, comment}));
  }
  // Pending bits of each forwarder for an event, by forwarder id.
  std::vector<Row> queueOf(long long event) {
    return db_->query("SELECT FORWARDER_ID, ACT FROM HW_RECORDS_BACKUP WHERE ID = ? ORDER BY 1",
                      {std::to_string(event)});
  }
  Value commentOf(long long event) {
    return db_->scalar(
        "SELECT C.NAME FROM JOURNAL_HARDWARE J LEFT JOIN COMMENTS C"
        " ON C.ID_COMMENT = J.COMMENT_ID WHERE J.ID_RECORD = ?",
        {std::to_string(event)});
  }
  long long newRequest(const std::string& flat = "5") {
    db_->execute(
        "INSERT INTO JOURNAL_PEOPLE_ALERTS (ADDRESS_ID, FLAT_NUMBER, ALERT_ID, DATE_OPEN)"
        " VALUES (125, ?, 1, '01.03.2024 10:00:00')",
        {flat});
    return toInt(db_->scalar("SELECT MAX(ID_RECORD) FROM JOURNAL_PEOPLE_ALERTS"));
  }

  TempDir dir_;
  std::unique_ptr<ScratchDatabase> scratch_;
  std::unique_ptr<FbConnection> db_;
};

// ---- What the template holds ---------------------------------------------------------------

TEST_F(JournalTemplate, HasExactlyTheObjectCountsOfTheSchema) {
  const ObjectCounts c = countObjects(*db_);
  EXPECT_EQ(c.tables, 18);
  EXPECT_EQ(c.views, 0);
  EXPECT_EQ(c.procedures, 52);
  EXPECT_EQ(c.triggers, 11);
  EXPECT_EQ(c.generators, 17);
  EXPECT_EQ(c.functions, 1);
  EXPECT_EQ(c.exceptions, 0);
  EXPECT_EQ(c.roles, 0);
  EXPECT_EQ(c.domains, 0);
}

TEST_F(JournalTemplate, HoldsNoReplicationObject) { EXPECT_TRUE(objectsNamed(*db_, "REPL").empty()); }

TEST_F(JournalTemplate, HasTheDatabaseProperties) {
  const auto rows = db_->query(
      "SELECT MON$PAGE_SIZE, MON$SQL_DIALECT, MON$FORCED_WRITES, MON$RESERVE_SPACE"
      " FROM MON$DATABASE");
  EXPECT_EQ(rows, (std::vector<Row>{{"4096", "3", "1", "1"}}));
  EXPECT_EQ(db_->scalar("SELECT TRIM(RDB$CHARACTER_SET_NAME) FROM RDB$DATABASE"), "NONE");
  // Every text column declares WIN1251.
  EXPECT_EQ(toInt(db_->scalar("SELECT COUNT(*) FROM RDB$RELATION_FIELDS RF JOIN RDB$RELATIONS R"
                              " ON R.RDB$RELATION_NAME = RF.RDB$RELATION_NAME JOIN RDB$FIELDS F"
                              " ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE WHERE COALESCE(R.RDB$SYSTEM_FLAG,"
                              " 0) = 0 AND F.RDB$FIELD_TYPE IN (14, 37) AND F.RDB$CHARACTER_SET_ID <> 52")),
            0);
  EXPECT_EQ(count("RDB$RELATIONS", "COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$OWNER_NAME <> 'SYSDBA'"), 0);
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

class JournalRoadTable : public JournalTemplate, public ::testing::WithParamInterface<TableColumns> {};

TEST_P(JournalRoadTable, HasItsColumnsInOrder) {
  EXPECT_EQ(columnsOf(*db_, GetParam().table, true), GetParam().columns);
}

INSTANTIATE_TEST_SUITE_P(
    Road, JournalRoadTable,
    ::testing::Values(
        TableColumns{"ADDRESS", {"ID_ADDRESS INTEGER NOT NULL", "NAME VARCHAR(64) WIN1251"}},
        TableColumns{
            "PEOPLE",
            {"ID_PEOPLE INTEGER NOT NULL", "NAME VARCHAR(64) WIN1251 NOT NULL", "TYPE INTEGER NOT NULL"}},
        TableColumns{"PHONE_NUMBERS", {"ID_PHONE INTEGER NOT NULL", "NUMBER VARCHAR(64) WIN1251 NOT NULL"}},
        TableColumns{"ADDRESS_TO_PEOPLE",
                     {"ADDRESS_ID INTEGER NOT NULL", "FLAT INTEGER NOT NULL", "PEOPLE_ID INTEGER",
                      "PHONE_ID INTEGER", "ENTRANCE_NUM INTEGER NOT NULL", "FLOOR_NUM INTEGER NOT NULL"}},
        TableColumns{"PEOPLE_ALERT_GROUP",
                     {"ID_GROUP INTEGER NOT NULL", "NAME VARCHAR(64) WIN1251 NOT NULL"}},
        TableColumns{
            "PEOPLE_ALERTS",
            {"ID_ALERT INTEGER NOT NULL", "NAME VARCHAR(64) WIN1251 NOT NULL", "GROUP_ID INTEGER NOT NULL"}},
        TableColumns{"COMMENTS", {"ID_COMMENT INTEGER NOT NULL", "NAME VARCHAR(256) WIN1251"}},
        TableColumns{
            "JOURNAL_PEOPLE_ALERTS",
            {"ID_RECORD INTEGER NOT NULL", "ADDRESS_ID INTEGER NOT NULL", "FLAT_NUMBER INTEGER NOT NULL",
             "ALERT_ID INTEGER NOT NULL", "CLIENT_PEOPLE_ID INTEGER", "CLIENT_COMMENT_ID INTEGER",
             "SERVANT_PEOPLE_ID INTEGER", "SERVANT_COMMENT_ID INTEGER", "DATE_OPEN TIMESTAMP NOT NULL",
             "DATE_CLOSE TIMESTAMP", "DELETED SMALLINT", "NUMBER VARCHAR(20) WIN1251"}},
        TableColumns{
            "ITEM_TAGS",
            {"ID_TAG INTEGER NOT NULL", "NAME VARCHAR(1000) WIN1251 NOT NULL", "MAX_ID INTEGER NOT NULL"}},
        TableColumns{"HARDWARE_ALERTS", {"ID_ALERT INTEGER NOT NULL", "NAME VARCHAR(64) WIN1251"}},
        TableColumns{"HARDWARE_ALERTS_NTLP_GROUPS",
                     {"NAME VARCHAR(50) WIN1251 NOT NULL", "ID_GROUP INTEGER NOT NULL"}},
        TableColumns{
            "HARDWARE_ALERTS_NTLP",
            {"ID INTEGER NOT NULL", "GROUP_ID INTEGER NOT NULL", "ALERT_NAME VARCHAR(50) WIN1251 NOT NULL",
             "TIMECUTOFF INTEGER NOT NULL", "SELECTED INTEGER NOT NULL"}},
        TableColumns{"REGISTRATION_NUMBER", {"ID INTEGER NOT NULL", "NUMBER VARCHAR(64) WIN1251 NOT NULL"}},
        TableColumns{"JOURNAL_HARDWARE",
                     {"ID_RECORD INTEGER NOT NULL", "TAG_ID INTEGER NOT NULL", "ADDRESS_ID INTEGER NOT NULL",
                      "DATE_OPEN TIMESTAMP", "DATE_ACCEPT TIMESTAMP", "DATE_CONFIRM TIMESTAMP",
                      "DATE_CLOSE TIMESTAMP", "ALERT_ID INTEGER NOT NULL", "COMMENT_ID INTEGER",
                      "REGISTER_NUMBER INTEGER", "DELETED INTEGER NOT NULL"}},
        TableColumns{"FORWARDERS", {"ID INTEGER NOT NULL", "IP VARCHAR(15) WIN1251 NOT NULL"}},
        TableColumns{"HW_RECORDS_BACKUP",
                     {"ID INTEGER NOT NULL", "FORWARDER_ID INTEGER", "ACT INTEGER NOT NULL"}}),
    [](const ::testing::TestParamInfo<TableColumns>& param) { return std::string(param.param.table); });

TEST_F(JournalTemplate, HoldsTheReferenceRows) {
  EXPECT_EQ(db_->query("SELECT ID_GROUP, NAME FROM PEOPLE_ALERT_GROUP ORDER BY 1"),
            (std::vector<Row>{{"1", "Лифты"},
                              {"2", "Электрооборудование"},
                              {"3", "Газовое оборудование"},
                              {"4", "Сантехника"},
                              {"5", "Кровельные и плотницкие работы"},
                              {"6", "Слесарные работы"},
                              {"7", "Радио, телевидение, домофоны"},
                              {"8", "Уборщица, дворник"},
                              {"9", "Отключения оборудования"}}));
  EXPECT_EQ(db_->query("SELECT COUNT(*), MIN(ID_ALERT), MAX(ID_ALERT), COUNT(DISTINCT NAME),"
                       " COUNT(DISTINCT GROUP_ID) FROM PEOPLE_ALERTS"),
            (std::vector<Row>{{"157", "1", "157", "157", "9"}}));
  EXPECT_EQ(db_->query("SELECT NAME, GROUP_ID FROM PEOPLE_ALERTS WHERE ID_ALERT = 1"),
            (std::vector<Row>{{"Застревание", "1"}}));

  // The service event, with its texts padded to the column width.
  EXPECT_EQ(db_->query("SELECT ID_ADDRESS, CHAR_LENGTH(NAME), TRIM(NAME) FROM ADDRESS"),
            (std::vector<Row>{{"125", "64", "Служебное событие"}}));
  EXPECT_EQ(db_->query("SELECT ID_ALERT, CHAR_LENGTH(NAME), TRIM(NAME) FROM HARDWARE_ALERTS"),
            (std::vector<Row>{{"239", "64", "Программа запущена"}}));
  EXPECT_EQ(db_->query("SELECT NAME, ID_GROUP FROM HARDWARE_ALERTS_NTLP_GROUPS"),
            (std::vector<Row>{{"(ВСЕ)", "7"}}));
  EXPECT_EQ(db_->query("SELECT ID, GROUP_ID, TRIM(ALERT_NAME), CHAR_LENGTH(ALERT_NAME),"
                       " TIMECUTOFF, SELECTED FROM HARDWARE_ALERTS_NTLP"),
            (std::vector<Row>{{"292", "7", "Программа запущена", "50", "0", "1"}}));
  EXPECT_EQ(db_->query("SELECT ID_TAG, TRIM(NAME), CHAR_LENGTH(NAME), MAX_ID FROM ITEM_TAGS"),
            (std::vector<Row>{{"11", "__journal_service_tag_0001", "1000", "130619"}}));
  EXPECT_EQ(db_->query("SELECT ID, \"NUMBER\" FROM REGISTRATION_NUMBER"), (std::vector<Row>{{"27", "0"}}));
  EXPECT_EQ(db_->query("SELECT ID_RECORD, TAG_ID, ADDRESS_ID, CAST(DATE_OPEN AS DATE),"
                       " DATEDIFF(SECOND FROM DATE_OPEN TO DATE_CLOSE), DATE_ACCEPT, DATE_CONFIRM,"
                       " ALERT_ID, COMMENT_ID, REGISTER_NUMBER, DELETED FROM JOURNAL_HARDWARE"),
            (std::vector<Row>{{"130619", "11", "125", "2018-05-28", "8", std::nullopt, std::nullopt, "239",
                               std::nullopt, "27", "0"}}));
  for (const char* table :
       {"JOURNAL_PEOPLE_ALERTS", "PEOPLE", "PHONE_NUMBERS", "ADDRESS_TO_PEOPLE", "COMMENTS", "FORWARDERS",
        "HW_RECORDS_BACKUP", "CONCENTRATORS", "PEOPLE_WORK_TEMPLATES"}) {
    EXPECT_EQ(count(table), 0) << table;
  }
}

TEST_F(JournalTemplate, GeneratorsHoldTheirTemplateValues) {
  const std::vector<std::pair<std::string, long long>> expected = {{"GEN_ADDRESS_ID", 125},
                                                                   {"GEN_PEOPLE_ID", 5},
                                                                   {"GEN_PHONE_NUMBERS_ID", 2},
                                                                   {"GEN_PEOPLE_ALERT_GROUP_ID", 10},
                                                                   {"GEN_PEOPLE_ALERTS_ID", 158},
                                                                   {"GEN_COMMENT_ID", 10},
                                                                   {"GEN_JOURNAL_PEOPLE_ALERTS_ID", 3},
                                                                   {"GENERATOR_TAG_ID", 11},
                                                                   {"GEN_HARDWARE_ALERTS_ID", 239},
                                                                   {"GEN_HARDWARE_NTLP_GROUPS_ID", 7},
                                                                   {"GEN_HARDWARE_ALERTS_NTLP_ID", 292},
                                                                   {"GEN_REGISTRATION_NUMBER_ID", 27},
                                                                   {"GEN_JOURNAL_HARDWARE_ALERTS_ID", 130619},
                                                                   {"GEN_FORWARDERS_ID", 0},
                                                                   {"GEN_CONCENTRATORS_ID", 115},
                                                                   {"GEN_HARDWARE_ALERT_GROUPS_ID", 8},
                                                                   {"GEN_IDBLOCK", 0}};
  for (const auto& [name, value] : expected) {
    EXPECT_EQ(db_->generator(name), value) << name;
  }
}

TEST_F(JournalTemplate, FirstNewIdsFollowTheTemplateGenerators) {
  EXPECT_EQ(addAddress("ул. Мира, 3"), "126");
  EXPECT_EQ(newRequest(), 4);
  EXPECT_EQ(db_->scalar("SELECT ITEM_TAG_ID FROM HARDWARE_ADD_ITEM_TAG(?)", {"Насос 1"}), "12");
  db_->execute("EXECUTE PROCEDURE PEOPLE_SET_CLIENT_COMMENT(4, ?)", {"Звонить после 18"});
  EXPECT_EQ(db_->scalar("SELECT CLIENT_COMMENT_ID FROM JOURNAL_PEOPLE_ALERTS"), "11");
  EXPECT_EQ(openEvent("Насос 2", "Авария насоса", std::nullopt), 130620);
  EXPECT_EQ(db_->scalar("SELECT VERSION FROM GET_VERSION"), "289");
}

// ---- Find-or-create ------------------------------------------------------------------------

TEST_F(JournalTemplate, FindOrCreateIgnoresTrailingBlanksAndNeverMatchesNull) {
  EXPECT_EQ(addAddress("Служебное событие"), "125");
  const Value mira = addAddress("ул. Мира, 3");
  EXPECT_EQ(addAddress("ул. Мира, 3   "), mira);
  const Value firstNull = addAddress(std::nullopt);
  const Value secondNull = addAddress(std::nullopt);
  EXPECT_NE(firstNull, secondNull);
  EXPECT_EQ(count("ADDRESS", "NAME IS NULL"), 2);

  const Value client = db_->scalar("SELECT ID_PEOPLE FROM ADD_PEOPLE(?, 0)", {"Иванов И.И."});
  EXPECT_EQ(db_->scalar("SELECT ID_PEOPLE FROM ADD_PEOPLE(?, 0)", {"Иванов И.И. "}), client);
  EXPECT_EQ(client, "6");
  EXPECT_EQ(db_->scalar("SELECT ID_PEOPLE FROM ADD_PEOPLE(?, 1)", {"Иванов И.И."}), "7");
  expectFailure("SELECT ID_PEOPLE FROM ADD_PEOPLE(?, 0)", {std::nullopt}, "NAME");

  EXPECT_EQ(db_->scalar("SELECT NUMBER_ID FROM ADD_PHONE(?)", {"+7 495 123-45-67"}), "3");
  EXPECT_EQ(db_->scalar("SELECT NUMBER_ID FROM ADD_PHONE(?)", {"+7 495 123-45-67  "}), "3");
  expectFailure("SELECT ID_ADDRESS FROM ADD_ADDRESS(?)", {std::string(65, 'a')}, "truncation");
}

TEST_F(JournalTemplate, RequestKindMovesToTheGroupNamedLast) {
  db_->execute("EXECUTE PROCEDURE PEOPLE_ADD_ALERT(?, ?)", {"Аварийные работы", "Застревание"});
  EXPECT_EQ(db_->query("SELECT G.ID_GROUP, G.NAME FROM PEOPLE_ALERTS K JOIN PEOPLE_ALERT_GROUP G"
                       " ON G.ID_GROUP = K.GROUP_ID WHERE K.ID_ALERT = 1"),
            (std::vector<Row>{{"11", "Аварийные работы"}}));
  db_->execute("EXECUTE PROCEDURE PEOPLE_ADD_ALERT(?, ?)", {"Лифты ", "Застревание "});
  EXPECT_EQ(db_->scalar("SELECT GROUP_ID FROM PEOPLE_ALERTS WHERE ID_ALERT = 1"), "1");
  db_->execute("EXECUTE PROCEDURE PEOPLE_ADD_ALERT(?, ?)", {"Лифты", "Скрежет тросов"});
  EXPECT_EQ(db_->query("SELECT ID_ALERT, GROUP_ID FROM PEOPLE_ALERTS WHERE NAME = ?", {"Скрежет тросов"}),
            (std::vector<Row>{{"159", "1"}}));
  EXPECT_EQ(count("PEOPLE_ALERT_GROUP"), 10);
  // An empty kind name changes nothing; an empty group name leaves a kind without group.
  db_->execute("EXECUTE PROCEDURE PEOPLE_ADD_ALERT(?, ?)", {"Лифты", ""});
  EXPECT_EQ(count("PEOPLE_ALERTS"), 158);
  expectFailure("EXECUTE PROCEDURE PEOPLE_ADD_ALERT(?, ?)", {"", "Новая заявка"}, "GROUP_ID");
  expectFailure("EXECUTE PROCEDURE PEOPLE_ADD_ALERT(?, ?)", {"", "Застревание"}, "GROUP_ID");
}

TEST_F(JournalTemplate, DuplicateKindNamesMakeTheLookupFail) {
  db_->execute("INSERT INTO PEOPLE_ALERTS VALUES (NULL, 'Застревание', 2)");
  expectFailure("EXECUTE PROCEDURE PEOPLE_ADD_ALERT(?, ?)", {"Лифты", "Застревание"}, "multiple rows");
}

TEST_F(JournalTemplate, ClientCommentIsLinkedReplacedAndRemoved) {
  const long long request = newRequest();
  const std::string id = std::to_string(request);
  db_->execute("EXECUTE PROCEDURE PEOPLE_SET_CLIENT_COMMENT(?, ?)", {id, ""});
  EXPECT_EQ(count("COMMENTS"), 0);
  db_->execute("EXECUTE PROCEDURE PEOPLE_SET_CLIENT_COMMENT(?, ?)", {id, "Течёт с потолка"});
  db_->execute("EXECUTE PROCEDURE PEOPLE_SET_CLIENT_COMMENT(?, ?)", {id, "Течёт сильно"});
  EXPECT_EQ(db_->query("SELECT C.ID_COMMENT, C.NAME FROM JOURNAL_PEOPLE_ALERTS J JOIN COMMENTS C"
                       " ON C.ID_COMMENT = J.CLIENT_COMMENT_ID"),
            (std::vector<Row>{{"11", "Течёт сильно"}}));
  db_->execute("EXECUTE PROCEDURE PEOPLE_SET_SERVANT_COMMENT(?, ?)", {id, "Заменён стояк"});
  EXPECT_EQ(db_->scalar("SELECT SERVANT_COMMENT_ID FROM JOURNAL_PEOPLE_ALERTS"), "12");

  db_->execute("EXECUTE PROCEDURE PEOPLE_SET_CLIENT_COMMENT(?, ?)", {id, ""});
  EXPECT_EQ(db_->query("SELECT CLIENT_COMMENT_ID, SERVANT_COMMENT_ID FROM JOURNAL_PEOPLE_ALERTS"),
            (std::vector<Row>{{std::nullopt, "12"}}));
  EXPECT_EQ(db_->query("SELECT ID_COMMENT FROM COMMENTS"), (std::vector<Row>{{"12"}}));
  EXPECT_EQ(count("JOURNAL_PEOPLE_ALERTS"), 1);  // removing the comment kept the request
}

TEST_F(JournalTemplate, CommentForAnUnknownRequestIsStoredUnlinked) {
  db_->execute("EXECUTE PROCEDURE PEOPLE_SET_CLIENT_COMMENT(NULL, ?)", {std::nullopt});
  EXPECT_EQ(db_->query("SELECT ID_COMMENT, NAME FROM COMMENTS"), (std::vector<Row>{{"11", std::nullopt}}));
}

// ---- Hardware events -----------------------------------------------------------------------

TEST_F(JournalTemplate, OpeningTwiceReturnsTheOpenEventUntilItCloses) {
  const long long first = openEvent("ЦТП-3/насос", "Авария насоса", std::nullopt);
  EXPECT_EQ(first, 130620);
  EXPECT_EQ(openEvent("ЦТП-3/насос", "Другая авария", "5"), first);
  EXPECT_EQ(count("JOURNAL_HARDWARE"), 2);
  EXPECT_EQ(count("HARDWARE_ALERTS"), 2);  // the second opening added no kind
  EXPECT_EQ(db_->scalar("SELECT MAX_ID FROM ITEM_TAGS WHERE NAME = ?", {"ЦТП-3/насос"}), "130620");

  EXPECT_EQ(closeEvent("ЦТП-3/насос", "01.03.2024 11:00:00"), first);
  const long long second = openEvent("ЦТП-3/насос   ", "Авария насоса", std::nullopt);
  EXPECT_EQ(second, 130621);
  EXPECT_EQ(db_->scalar("SELECT MAX_ID FROM ITEM_TAGS WHERE NAME = ?", {"ЦТП-3/насос"}), "130621");
  EXPECT_EQ(count("ITEM_TAGS"), 2);
  EXPECT_EQ(db_->query("SELECT TRIM(NAME) FROM ADDRESS WHERE ID_ADDRESS = 126"),
            (std::vector<Row>{{"ул. Ленина, 1"}}));
}

TEST_F(JournalTemplate, TagWhoseLatestEventVanishedNeverOpensAnother) {
  const long long first = openEvent("Лифт 7", "Авария лифта", std::nullopt);
  closeEvent("Лифт 7", "01.03.2024 11:00:00");
  db_->execute("DELETE FROM JOURNAL_HARDWARE WHERE ID_RECORD = ?", {std::to_string(first)});
  EXPECT_EQ(openEvent("Лифт 7", "Авария лифта", std::nullopt), first);
  EXPECT_EQ(openEvent("Лифт 7", "Авария лифта", std::nullopt), first);
  EXPECT_EQ(count("JOURNAL_HARDWARE"), 1);
}

TEST_F(JournalTemplate, RegistrationNumberZeroLinksTheTemplateRowAndQueues33) {
  db_->execute("SELECT ID FROM REGISTER_FORWARDER('10.0.0.5')");
  const long long withNumber = openEvent("Тег А", "Вскрытие шкафа", "0");
  EXPECT_EQ(db_->scalar("SELECT REGISTER_NUMBER FROM JOURNAL_HARDWARE WHERE ID_RECORD = ?",
                        {std::to_string(withNumber)}),
            "27");
  EXPECT_EQ(queueOf(withNumber), (std::vector<Row>{{"1", "33"}}));

  const long long withNull = openEvent("Тег Б", "Вскрытие шкафа", std::nullopt);
  EXPECT_EQ(db_->scalar("SELECT REGISTER_NUMBER FROM JOURNAL_HARDWARE WHERE ID_RECORD = ?",
                        {std::to_string(withNull)}),
            std::nullopt);
  EXPECT_EQ(queueOf(withNull), (std::vector<Row>{{"1", "1"}}));

  const long long withNew = openEvent("Тег В", "Вскрытие шкафа", "4711");
  EXPECT_EQ(db_->query("SELECT R.ID, R.\"NUMBER\" FROM JOURNAL_HARDWARE J JOIN REGISTRATION_NUMBER"
                       " R ON R.ID = J.REGISTER_NUMBER WHERE J.ID_RECORD = ?",
                       {std::to_string(withNew)}),
            (std::vector<Row>{{"28", "4711"}}));
  EXPECT_EQ(db_->query("SELECT COUNT(*) FROM GET_REGNUMBER_ID('')"), (std::vector<Row>{{"0"}}));
}

TEST_F(JournalTemplate, BlockingKindsJoinBothGroupsAndMarkTheFirstBlockingEvent) {
  openEvent("Дверь 1", "Открыта дверь", std::nullopt);
  EXPECT_EQ(db_->generator("GEN_IDBLOCK"), 0);
  const long long firstBlock = openEvent("Дверь 2", "Блокировка двери", std::nullopt);
  const long long secondBlock = openEvent("Дверь 3", "Блокировка двери", std::nullopt);
  EXPECT_EQ(db_->generator("GEN_IDBLOCK"), firstBlock);
  EXPECT_EQ(db_->query("SELECT G.NAME FROM HARDWARE_ALERTS_NTLP N JOIN HARDWARE_ALERTS_NTLP_GROUPS"
                       " G ON G.ID_GROUP = N.GROUP_ID WHERE N.ALERT_NAME = ? ORDER BY G.ID_GROUP",
                       {"Блокировка двери"}),
            (std::vector<Row>{{"(ВСЕ)"}, {"(Блокировки)"}}));
  EXPECT_EQ(db_->query("SELECT COUNT(*) FROM HARDWARE_ALERTS_NTLP WHERE ALERT_NAME = ?", {"Открыта дверь"}),
            (std::vector<Row>{{"1"}}));
  // The substring test heeds letter case.
  openEvent("Дверь 4", "блокировка замка", std::nullopt);
  EXPECT_EQ(
      db_->query("SELECT COUNT(*) FROM HARDWARE_ALERTS_NTLP WHERE ALERT_NAME = ?", {"блокировка замка"}),
      (std::vector<Row>{{"1"}}));

  // The bulk close takes every open blocking event from the first one on, in any letter case.
  EXPECT_EQ(db_->scalar("SELECT CLOSED_COUNT FROM HARDWARE_CLOSE_BLOCKS"), "3");
  EXPECT_EQ(db_->generator("GEN_IDBLOCK"), 0);
  EXPECT_EQ(count("JOURNAL_HARDWARE", "DATE_CLOSE IS NULL"), 1);
  EXPECT_EQ(
      count("JOURNAL_HARDWARE", "DATE_CLOSE IS NOT NULL AND ID_RECORD IN (" + std::to_string(firstBlock) +
                                    ", " + std::to_string(secondBlock) + ")"),
      2);
  EXPECT_EQ(db_->scalar("SELECT CLOSED_COUNT FROM HARDWARE_CLOSE_BLOCKS"), "0");
}

TEST_F(JournalTemplate, BulkCloseOfBlockingEventsReachesTheForwarders) {
  db_->execute("SELECT ID FROM REGISTER_FORWARDER('10.0.0.5')");
  const long long block = openEvent("Дверь 2", "Блокировка двери", std::nullopt);
  db_->execute("SELECT CLOSED_COUNT FROM HARDWARE_CLOSE_BLOCKS");
  EXPECT_EQ(queueOf(block), (std::vector<Row>{{"1", "9"}}));
}

TEST_F(JournalTemplate, KindNamesOverFiftyCharactersFailAsAWhole) {
  const std::string longKind(51, 'x');
  expectFailure("SELECT RECORD_ID FROM HARDWARE_INSERT_ALERT(?, ?, ?, ?, ?)",
                {"Тег", "Адрес", "01.03.2024 10:00:00", longKind, std::nullopt}, "truncation");
  EXPECT_EQ(count("JOURNAL_HARDWARE"), 1);
  EXPECT_EQ(count("HARDWARE_ALERTS"), 1);
  EXPECT_EQ(count("ITEM_TAGS"), 1);
}

TEST_F(JournalTemplate, ConfirmKeepsTheFirstTimeAndCommentAndQueuesEveryTime) {
  EXPECT_EQ(confirmEvent("Нет такого тега", "01.03.2024 10:05:00", "x"), -1);
  EXPECT_EQ(count("HW_RECORDS_BACKUP"), 0);

  db_->execute("SELECT ID FROM REGISTER_FORWARDER('10.0.0.5')");
  const long long event = openEvent("Щит 2", "Пропало питание", std::nullopt);
  EXPECT_EQ(confirmEvent("Щит 2", "01.03.2024 10:05:00", "Выехала бригада"), event);
  EXPECT_EQ(confirmEvent("Щит 2 ", "01.03.2024 10:09:00", "Другой текст"), event);
  EXPECT_EQ(db_->scalar("SELECT CAST(DATE_CONFIRM AS VARCHAR(24)) FROM JOURNAL_HARDWARE WHERE"
                        " ID_RECORD = ?",
                        {std::to_string(event)}),
            "2024-03-01 10:05:00.0000");
  EXPECT_EQ(commentOf(event), "Выехала бригада");
  EXPECT_EQ(queueOf(event), (std::vector<Row>{{"1", "21"}}));  // 1 open, 4 confirm, 16 comment

  EXPECT_EQ(closeEvent("Щит 2", "01.03.2024 11:00:00", std::nullopt), event);
  EXPECT_EQ(queueOf(event), (std::vector<Row>{{"1", "29"}}));
  EXPECT_EQ(db_->scalar("SELECT RECORD_ID FROM HARDWARE_ACCEPT_ALERT(?, ?, ?)",
                        {"Щит 2", "01.03.2024 10:01:00", ""}),
            std::to_string(event));
  EXPECT_EQ(queueOf(event), (std::vector<Row>{{"1", "31"}}));
}

TEST_F(JournalTemplate, GeneralResetGoesOnTopOfTheOldComment) {
  const long long withComment = openEvent("Насос 1", "Авария насоса", std::nullopt);
  const std::string id = std::to_string(withComment);
  db_->execute("EXECUTE PROCEDURE HARDWARE_ADD_COMMENT(?, ?)", {id, "  Сработала защита  "});
  db_->execute("EXECUTE PROCEDURE HARDWARE_ADD_COMMENT(?, ?)", {id, "Общий сброс"});
  EXPECT_EQ(commentOf(withComment), "Общий сброс\r\nСработала защита");

  const long long without = openEvent("Насос 2", "Авария насоса", std::nullopt);
  db_->execute("EXECUTE PROCEDURE HARDWARE_ADD_COMMENT(?, ?)", {std::to_string(without), "Общий сброс"});
  EXPECT_EQ(commentOf(without), "Общий сброс");

  // An empty text removes the comment and its row, leaving the event.
  db_->execute("EXECUTE PROCEDURE HARDWARE_ADD_COMMENT(?, ?)", {id, ""});
  EXPECT_EQ(commentOf(withComment), std::nullopt);
  EXPECT_EQ(count("COMMENTS"), 1);
  EXPECT_EQ(count("JOURNAL_HARDWARE"), 3);
}

TEST_F(JournalTemplate, GeneralResetIsCutTo256Characters) {
  const long long event = openEvent("Насос 1", "Авария насоса", std::nullopt);
  const std::string id = std::to_string(event);
  db_->execute("EXECUTE PROCEDURE HARDWARE_ADD_COMMENT(?, ?)", {id, std::string(256, 'a')});
  db_->execute("EXECUTE PROCEDURE HARDWARE_ADD_COMMENT(?, ?)", {id, "Общий сброс"});
  EXPECT_EQ(commentOf(event), "Общий сброс\r\n" + std::string(256 - 13, 'a'));
}

TEST_F(JournalTemplate, QueueMergesBitsPerForwarder) {
  const long long event = openEvent("Тег", "Авария", std::nullopt);  // no forwarder yet
  EXPECT_EQ(count("HW_RECORDS_BACKUP"), 0);
  EXPECT_EQ(db_->scalar("SELECT ID FROM REGISTER_FORWARDER('10.0.0.5')"), "1");
  EXPECT_EQ(db_->scalar("SELECT ID FROM REGISTER_FORWARDER('10.0.0.5')"), "1");
  db_->execute("EXECUTE PROCEDURE PUT_HW_INTO_QUEUE(?, 1)", {std::to_string(event)});
  EXPECT_EQ(db_->scalar("SELECT ID FROM REGISTER_FORWARDER('10.0.0.6')"), "2");
  db_->execute("EXECUTE PROCEDURE PUT_HW_INTO_QUEUE(?, 4)", {std::to_string(event)});
  EXPECT_EQ(queueOf(event), (std::vector<Row>{{"1", "5"}, {"2", "4"}}));
  db_->execute("EXECUTE PROCEDURE PUT_HW_INTO_QUEUE(?, 4)", {std::to_string(event)});
  EXPECT_EQ(queueOf(event), (std::vector<Row>{{"1", "5"}, {"2", "4"}}));

  db_->execute("EXECUTE PROCEDURE UNREGISTER_FORWARDER('10.0.0.5')");
  EXPECT_EQ(queueOf(event), (std::vector<Row>{{"2", "4"}}));
}

TEST_F(JournalTemplate, TagsAndKindsThatDifferByTrailingBlanksAreTheSame) {
  const long long first = openEvent("Тег 1", "Авария", std::nullopt);
  closeEvent("Тег 1  ", "01.03.2024 11:00:00");
  openEvent("Тег 1   ", "Авария   ", std::nullopt);
  EXPECT_EQ(count("ITEM_TAGS"), 2);
  EXPECT_EQ(count("HARDWARE_ALERTS"), 2);
  EXPECT_EQ(
      db_->scalar("SELECT DATE_CLOSE FROM JOURNAL_HARDWARE WHERE ID_RECORD = ?", {std::to_string(first)})
          .has_value(),
      true);
}

}  // namespace
}  // namespace mirrox::test

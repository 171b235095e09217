// Every stored procedure of both templates runs on a small data set with plausible arguments
// (Cyrillic texts among them, as the connection sends them) without a server error, so a body
// that compiles but fails at run time (a type or character set conversion, a bad cursor) shows
// up here rather than at a site.

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

struct Argument {
  std::string name;
  long long type;
};

// A plausible value for an input parameter, by its name first and its type second.
Value argumentFor(const Argument& a) {
  const std::string& n = a.name;
  if (n == "D1") return "01.01.2024 00:00:00";
  if (n == "D2") return "01.02.2024 00:00:00";
  if (n == "NIGHT_HOURS") return "23-7";
  if (n == "TABLE_NAME") return "HOUSE";
  if (n == "IP" || n == "IP_ADDRESS") return "192.168.10.20";
  if (n == "ITEM_TAG" || n == "TAG_NAME" || n == "TAG_ITEM") return "Щит 1";
  if (n == "IN_GROUP_NAME" || n == "GROUP_NAME") return "Лифты";
  switch (a.type) {
    case 7:
    case 8:
    case 16:
      return "1";
    case 27:
      return "1.5";
    case 12:
    case 35:
      return "15.01.2024 10:00:00";
    case 14:
    case 37:
      return "Тест";
    default:
      return std::nullopt;
  }
}

struct TemplateKind {
  const char* name;
  const char* file;
  std::vector<std::string> setup;
};

void PrintTo(const TemplateKind& k, std::ostream* os) { *os << k.name; }

class EveryProcedure : public ::testing::TestWithParam<TemplateKind> {};

TEST_P(EveryProcedure, RunsOnSampleDataWithoutAServerError) {
  const TempDir dir;
  const ScratchDatabase scratch = ScratchDatabase::copyOf(dir.path(), "scratch.fdb", GetParam().file);
  auto db = scratch.connect();
  for (const std::string& sql : GetParam().setup) {
    db->execute(sql);
  }
  db->commit();

  const auto procedures = db->query(
      "SELECT TRIM(RDB$PROCEDURE_NAME), RDB$PROCEDURE_TYPE FROM RDB$PROCEDURES"
      " WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY 1");
  ASSERT_FALSE(procedures.empty());
  for (const Row& p : procedures) {
    const std::string name = *p[0];
    const auto params = db->query(
        "SELECT TRIM(PP.RDB$PARAMETER_NAME), F.RDB$FIELD_TYPE FROM RDB$PROCEDURE_PARAMETERS PP"
        " JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = PP.RDB$FIELD_SOURCE"
        " WHERE PP.RDB$PROCEDURE_NAME = ? AND PP.RDB$PARAMETER_TYPE = 0"
        " ORDER BY PP.RDB$PARAMETER_NUMBER",
        {name});
    std::vector<Value> values;
    std::string marks;
    for (const Row& param : params) {
      values.push_back(argumentFor({*param[0], toInt(param[1])}));
      marks += marks.empty() ? "?" : ", ?";
    }
    const std::string args = params.empty() ? "" : "(" + marks + ")";
    const bool selectable = toInt(p[1]) == 1;
    const std::string sql = selectable ? "SELECT * FROM " + name + args : "EXECUTE PROCEDURE " + name + args;
    try {
      db->query(sql, values);
    } catch (const fb::Error& e) {
      ADD_FAILURE() << name << ": " << e.what();
    }
    db->rollback();
  }
}

INSTANTIATE_TEST_SUITE_P(
    BothTemplates, EveryProcedure,
    ::testing::Values(
        TemplateKind{"Metering",
                     MIRROX_METERING_TEMPLATE,
                     {"INSERT INTO STREET VALUES (1, 'Ленина', 2, 0, 0, 0)",
                      "INSERT INTO HOUSE (ID_HOUSE, STREET_ID, \"NUMBER\") VALUES (1, 1, '12')",
                      "INSERT INTO CONC VALUES (1, 101, 555, '01.02.2023', 1, 7, NULL, NULL,"
                      " NULL, 0)",
                      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN,"
                      " SERV_ID, FLAT, PERSONALACCOUNT) VALUES (1, 1, 1, 1014, 11, 4, 0, '')",
                      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN,"
                      " SERV_ID, FLAT, PERSONALACCOUNT) VALUES (2, 1, 2, 1, 12, 4, 5, 'ЛС-5')",
                      "INSERT INTO CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN,"
                      " SERV_ID, FLAT) VALUES (3, 1, 3, 1001, 13, 1, 0)",
                      "INSERT INTO RASHOD2004 VALUES (1, 1, '10.01.2024 03:00:00', 2.5)",
                      "INSERT INTO RASHOD2004 VALUES (2, 1, '10.01.2024 12:00:00', 4)",
                      "INSERT INTO RASHOD2004 VALUES (3, 101, '10.01.2024 00:00:00', 7)",
                      "INSERT INTO RASHOD2004 VALUES (2, 1201, '31.12.2023 00:00:00', 100)",
                      "INSERT INTO RASHOD2004 VALUES (2, 1201, '31.01.2024 00:00:00', 130)",
                      "INSERT INTO COUNTER_ETALON (CHANNEL_ID, DAY_NIGHT, REC_DATE, R_VALUE, A, B)"
                      " VALUES (2, 0, '20.01.2024', 15, 3, 0)",
                      "INSERT INTO LASTRHV VALUES (1, 10001, 220, '15.01.2024 10:00:00')",
                      "INSERT INTO LASTRHV VALUES (1, 11001, 1234, '15.01.2024 10:00:00')",
                      "INSERT INTO BOUNDS (CHANNEL_ID, PARAM, VMIN, VMAX) VALUES (1, 10001, 200,"
                      " 240)",
                      "INSERT INTO EVENTS (CONC_ID, EVENT_CODE, EVENT_DATE) VALUES (1, 5,"
                      " '10.01.2024 10:00:00')",
                      "INSERT INTO PROBLEM (DEVICE_ID, PROBLEM_CODE, DATE_OPEN) VALUES (1, 3,"
                      " '10.01.2024 10:00:00')",
                      "INSERT INTO MODBUS_INFO (ID, NAME) VALUES (1, 'ОВЕН')",
                      "INSERT INTO MODBUS_SETT (ID, MB_DEVICE, REG_ADDR, PARAM, TRANSLATE)"
                      " VALUES (1, 1, 100, 10001, 1)",
                      "INSERT INTO MODBUS_TRANSLATE VALUES (1, 1, 1, NULL)"}},
        TemplateKind{"Journal",
                     MIRROX_JOURNAL_TEMPLATE,
                     {"SELECT ID FROM REGISTER_FORWARDER('10.0.0.5')",
                      "SELECT RECORD_ID FROM HARDWARE_INSERT_ALERT('Щит 1', 'ул. Мира, 3',"
                      " '14.01.2024 10:00:00', 'Блокировка двери', 0)",
                      "SELECT RECORD_ID FROM PEOPLE_INSERT_ALERT('ул. Мира, 3', 1, 'Лифты',"
                      " 'Застревание', 'Петров П.П.', 'Срочно', '10.01.2024 10:00:00', '17')",
                      "EXECUTE PROCEDURE LINK_PEOPLE_ADDRESS_INFO('ул. Мира, 3', 1, 'Петров"
                      " П.П.', '123-45-67', 2, 5)"}}),
    [](const ::testing::TestParamInfo<TemplateKind>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace mirrox::test

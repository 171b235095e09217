#include "tests/schema/schema_queries.h"

#include <stdexcept>

namespace mirrox::testing_support {

std::vector<std::string> columnsOf(FbConnection& db, const std::string& table, bool withCharset) {
  const auto rows = db.query(
      "SELECT TRIM(RF.RDB$FIELD_NAME), F.RDB$FIELD_TYPE, COALESCE(F.RDB$FIELD_SCALE, 0),"
      " COALESCE(F.RDB$FIELD_PRECISION, 0), COALESCE(F.RDB$CHARACTER_LENGTH, 0), COALESCE(RF.RDB$NULL_FLAG, "
      "F.RDB$NULL_FLAG, 0),"
      " TRIM(C.RDB$CHARACTER_SET_NAME)"
      " FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
      " LEFT JOIN RDB$CHARACTER_SETS C ON C.RDB$CHARACTER_SET_ID = F.RDB$CHARACTER_SET_ID"
      " WHERE RF.RDB$RELATION_NAME = ? ORDER BY RF.RDB$FIELD_POSITION",
      {table});
  std::vector<std::string> columns;
  for (const Row& r : rows) {
    const long long type = toInt(r[1]);
    const long long scale = toInt(r[2]);
    const long long precision = toInt(r[3]);
    std::string text;
    bool isText = false;
    if ((type == 7 || type == 8 || type == 16) && scale < 0) {
      text = "NUMERIC(" + std::to_string(precision) + "," + std::to_string(-scale) + ")";
    } else if (type == 7) {
      text = "SMALLINT";
    } else if (type == 8) {
      text = "INTEGER";
    } else if (type == 16) {
      text = "BIGINT";
    } else if (type == 27) {
      text = "DOUBLE PRECISION";
    } else if (type == 35) {
      text = "TIMESTAMP";
    } else if (type == 12) {
      text = "DATE";
    } else if (type == 13) {
      text = "TIME";
    } else if (type == 37 || type == 14) {
      text = (type == 37 ? "VARCHAR(" : "CHAR(") + std::to_string(toInt(r[4])) + ")";
      isText = true;
    } else {
      text = "TYPE" + std::to_string(type);
    }
    std::string column = *r[0] + " " + text;
    if (withCharset && isText) {
      column += " " + r[6].value_or("?");
    }
    if (toInt(r[5]) != 0) {
      column += " NOT NULL";
    }
    columns.push_back(column);
  }
  return columns;
}

ObjectCounts countObjects(FbConnection& db) {
  auto count = [&db](const std::string& sql) { return static_cast<int>(toInt(db.scalar(sql))); };
  ObjectCounts c;
  const std::string user = "COALESCE(RDB$SYSTEM_FLAG, 0) = 0";
  c.tables = count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE " + user + " AND RDB$VIEW_BLR IS NULL");
  c.views = count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE " + user + " AND RDB$VIEW_BLR IS NOT NULL");
  c.procedures = count("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE " + user);
  c.triggers = count("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE " + user);
  c.generators = count("SELECT COUNT(*) FROM RDB$GENERATORS WHERE " + user);
  c.functions = count("SELECT COUNT(*) FROM RDB$FUNCTIONS WHERE " + user);
  c.exceptions = count("SELECT COUNT(*) FROM RDB$EXCEPTIONS WHERE " + user);
  c.roles = count("SELECT COUNT(*) FROM RDB$ROLES WHERE " + user);
  c.domains =
      count("SELECT COUNT(*) FROM RDB$FIELDS WHERE " + user + " AND RDB$FIELD_NAME NOT STARTING WITH 'RDB$'");
  return c;
}

std::vector<std::string> objectsNamed(FbConnection& db, const std::string& prefix) {
  const auto rows = db.query(
      "SELECT TRIM(N) FROM ("
      " SELECT RDB$RELATION_NAME N FROM RDB$RELATIONS UNION ALL"
      " SELECT RDB$PROCEDURE_NAME FROM RDB$PROCEDURES UNION ALL"
      " SELECT RDB$TRIGGER_NAME FROM RDB$TRIGGERS UNION ALL"
      " SELECT RDB$GENERATOR_NAME FROM RDB$GENERATORS UNION ALL"
      " SELECT RDB$FUNCTION_NAME FROM RDB$FUNCTIONS UNION ALL"
      " SELECT RDB$EXCEPTION_NAME FROM RDB$EXCEPTIONS)"
      " WHERE UPPER(N) STARTING WITH UPPER(CAST(? AS VARCHAR(31)))",
      {prefix});
  std::vector<std::string> names;
  for (const Row& r : rows) {
    names.push_back(r[0].value_or(""));
  }
  return names;
}

long long toInt(const Value& v) {
  if (!v) {
    throw std::runtime_error("NULL where a number was expected");
  }
  return std::stoll(*v);
}

double toDouble(const Value& v) {
  if (!v) {
    throw std::runtime_error("NULL where a number was expected");
  }
  return std::stod(*v);
}

}  // namespace mirrox::testing_support

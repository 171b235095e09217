#include "demo/sql_session.h"

#include <cctype>

#include "link/cp1251.h"

namespace mirrox::demo {
namespace {

bool startsWithSelect(std::string_view sql) {
  constexpr std::string_view kSelect = "select ";
  if (sql.size() < kSelect.size()) return false;
  for (std::size_t i = 0; i < kSelect.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(sql[i])) != kSelect[i]) return false;
  }
  return true;
}

}  // namespace

SqlSession::SqlSession(const std::string& databasePath) {
  connection_.DB.setDatabaseName("127.0.0.1:" + databasePath);
  connection_.DB.connect();
  // The statements here use "?" only; procedure names and literals go to the server unchanged.
  connection_.Qr.setParamCheck(false);
}

SqlSession::~SqlSession() {
  // The connection's own disconnect would commit an active transaction.
  try {
    if (connection_.TR.active()) connection_.TR.rollback();
  } catch (...) {
    // Releasing the attachment below rolls back on the server all the same.
  }
}

std::vector<Row> SqlSession::run(std::string_view sql, const std::vector<InputValue>& utf8Inputs) {
  std::vector<InputValue> inputs;
  inputs.reserve(utf8Inputs.size());
  for (const InputValue& value : utf8Inputs) {
    inputs.push_back(value ? InputValue(utf8ToCp1251(*value)) : InputValue());
  }
  connection_.TR.start();
  connection_.Qr.setSql(sql);
  connection_.Qr.execute(inputs);
  std::vector<Row> rows;
  if (startsWithSelect(sql)) {
    while (auto row = connection_.Qr.fetchRow()) rows.push_back(std::move(*row));
  }
  connection_.Qr.close();
  return rows;
}

long long SqlSession::scalar(std::string_view sql, const std::vector<InputValue>& utf8Inputs) {
  const auto rows = run(sql, utf8Inputs);
  if (rows.empty() || rows.front().empty() || !rows.front().front()) return 0;
  return std::stoll(*rows.front().front());
}

void SqlSession::commit() {
  if (connection_.TR.active()) connection_.TR.commit();
}

std::string text(const InputValue& value) { return value ? cp1251ToUtf8(*value) : std::string(); }

}  // namespace mirrox::demo

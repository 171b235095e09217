#include "demo/local_summary.h"

#include <cctype>
#include <string_view>

#include "demo/sql_session.h"

namespace mirrox::demo {
namespace {

struct TableQuery {
  std::string_view table;
  std::string_view columns;  // the select list of the sample, also its titles
  std::string_view from;     // FROM ... with joins, aliased "t" for the table itself
  std::string_view order;
};

constexpr TableQuery kMeteringTables[] = {
    {"STREET", "t.id_street, t.region_id, t.name", "street t", "t.id_street desc"},
    {"HOUSE", "t.id_house, s.name as street, t.\"NUMBER\", t.sortnum",
     "house t left join street s on s.id_street = t.street_id", "t.id_house desc"},
    {"CONC", "t.id_conc, t.model_id, t.house_id, t.ip_address", "conc t", "t.id_conc desc"},
    {"CHANNEL", "t.id_channel, t.conc_id, t.channel_number, t.device_id, t.serv_id", "channel t",
     "t.id_channel desc"},
    {"LASTRHV", "t.channel_id, t.param, t.r_value, t.rec_date", "lastrhv t", "t.rec_date desc, t.channel_id"},
    {"RASHOD2004", "t.channel_id, t.param, t.rec_date, t.rashod_value", "rashod2004 t",
     "t.rec_date desc, t.channel_id"},
};

constexpr TableQuery kJournalTables[] = {
    {"JOURNAL_PEOPLE_ALERTS",
     "t.id_record, t.\"NUMBER\", a.name as address, t.flat_number, k.name as kind, t.date_open, t.date_close",
     "journal_people_alerts t left join address a on a.id_address = t.address_id "
     "left join people_alerts k on k.id_alert = t.alert_id",
     "t.id_record desc"},
    {"PEOPLE", "t.id_people, t.name, t.\"TYPE\"", "people t", "t.id_people desc"},
    {"PHONE_NUMBERS", "t.id_phone, t.\"NUMBER\"", "phone_numbers t", "t.id_phone desc"},
    {"ADDRESS_TO_PEOPLE", "a.name as address, t.flat, t.entrance_num, t.floor_num",
     "address_to_people t left join address a on a.id_address = t.address_id", "a.name, t.flat"},
    {"COMMENTS", "t.id_comment, t.name", "comments t", "t.id_comment desc"},
    {"JOURNAL_HARDWARE",
     "t.id_record, g.name as tag, h.name as kind, t.date_open, t.date_confirm, t.date_close",
     "journal_hardware t left join item_tags g on g.id_tag = t.tag_id "
     "left join hardware_alerts h on h.id_alert = t.alert_id",
     "t.id_record desc"},
};

std::vector<std::string> splitColumns(std::string_view list) {
  std::vector<std::string> names;
  while (!list.empty()) {
    const auto comma = list.find(',');
    std::string_view item = list.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    // "t.\"NUMBER\"" reads as NUMBER and "a.name as address" as ADDRESS: table aliases and quotes
    // are the query's business.
    if (const auto as = item.find(" as "); as != std::string_view::npos) item.remove_prefix(as + 4);
    if (const auto dot = item.find('.'); dot != std::string_view::npos) item.remove_prefix(dot + 1);
    std::string name;
    for (char c : item) {
      if (c != '"') name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    names.push_back(std::move(name));
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return names;
}

// Fixed-width values read badly with CHAR padding and long names; trailing blanks carry nothing.
std::string trimmed(std::string value) {
  while (!value.empty() && value.back() == ' ') value.pop_back();
  return value;
}

}  // namespace

std::vector<TableSummary> summarizeDatabase(const std::string& dbPath, int dbType, int sampleRows) {
  std::vector<TableSummary> result;
  std::vector<TableQuery> queries;
  if (dbType == 0) queries.assign(std::begin(kMeteringTables), std::end(kMeteringTables));
  if (dbType == 1) queries.assign(std::begin(kJournalTables), std::end(kJournalTables));
  if (queries.empty()) return result;

  SqlSession db(dbPath);
  for (const TableQuery& query : queries) {
    TableSummary summary;
    summary.table = std::string(query.table);
    summary.columns = splitColumns(query.columns);
    summary.count = db.scalar("select count(*) from " + std::string(query.table));
    const std::string sample = "select first " + std::to_string(sampleRows < 0 ? 0 : sampleRows) + " " +
                               std::string(query.columns) + " from " + std::string(query.from) +
                               " order by " + std::string(query.order);
    for (const Row& row : db.run(sample)) {
      std::vector<std::string> values;
      for (const InputValue& value : row) values.push_back(trimmed(text(value)));
      summary.sample.push_back(std::move(values));
    }
    result.push_back(std::move(summary));
  }
  db.commit();
  return result;
}

void printSummary(std::ostream& out, const std::vector<TableSummary>& tables) {
  for (const TableSummary& table : tables) {
    out << "  " << table.table << ": " << table.count << (table.count == 1 ? " row" : " rows") << "\n";
    if (table.sample.empty()) continue;
    out << "      ";
    for (std::size_t i = 0; i < table.columns.size(); ++i) out << (i ? " | " : "") << table.columns[i];
    out << "\n";
    for (const auto& row : table.sample) {
      out << "      ";
      for (std::size_t i = 0; i < row.size(); ++i) out << (i ? " | " : "") << row[i];
      out << "\n";
    }
  }
}

}  // namespace mirrox::demo

#include "demo/site_rows.h"

#include <array>
#include <cstdio>

#include "demo/sql_session.h"
#include "link/date_time.h"

namespace mirrox::demo {
namespace {

std::string nowText() { return formatDateTime("dd.mm.yyyy hh:nn:ss", localNow()); }

constexpr DateTime kOneSecond = 1.0 / 86400.0;

// The time stamp of a new round of readings: now, or one second after the site's latest archive
// time when that is not earlier. The archive keeps one value per channel, parameter and time, so a
// round stamped like an earlier one (two rounds within a second, or a site clock ahead of ours)
// would store current values and silently add nothing to the archive.
std::string readingStamp(SqlSession& site) {
  const auto rows = site.run(
      "select extract(year from m), extract(month from m), extract(day from m), extract(hour from m), "
      "extract(minute from m), cast(extract(second from m) as integer) "
      "from (select max(rec_date) as m from rashod2004)");
  DateTime stamp = localNow();
  if (!rows.empty() && rows[0].size() == 6 && rows[0][0]) {
    const Row& r = rows[0];
    DateTimeParts latest;
    latest.year = std::stoi(*r[0]);
    latest.month = std::stoi(*r[1]);
    latest.day = std::stoi(*r[2]);
    latest.hour = std::stoi(*r[3]);
    latest.minute = std::stoi(*r[4]);
    latest.second = std::stoi(*r[5]);
    const DateTime next = encodeDateTime(latest) + kOneSecond;
    if (next > stamp) stamp = next;
  }
  return formatDateTime("dd.mm.yyyy hh:nn:ss", stamp);
}

std::string decimal(double value) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.3f", value);
  return buffer.data();
}

struct RequestKind {
  const char* group;
  const char* alert;
  const char* comment;
};

// Kinds from the template's own dictionary, so a request files under an existing group.
constexpr std::array<RequestKind, 4> kRequestKinds{{
    {"Сантехника", "Течь в квартире", "Капает с потолка в ванной"},
    {"Лифты", "Лифт не работает", "Лифт стоит на 5 этаже"},
    {"Электрооборудование", "Нет света в подъезде", "Не горит лампа на площадке"},
    {"Слесарные работы", "Не закрывается дверь подъезда", "Доводчик сломан"},
}};

constexpr std::array<const char*, 3> kEventKinds{"Открытие двери", "Затопление", "Пропадание питания"};
constexpr std::array<const char*, 3> kServants{"Петров В.И.", "Кузнецов А.А.", "Смирнова О.Н."};

}  // namespace

SiteRowsAdded addMeteringRows(const std::string& siteDbPath, int round) {
  SqlSession site(siteDbPath);
  SiteRowsAdded added;
  const std::string stamp = readingStamp(site);
  const auto channels = site.run("select id_channel from channel where flat = 0 order by id_channel");
  for (const Row& row : channels) {
    const long long channel = std::stoll(*row.at(0));
    const double value = 0.2 + static_cast<double>((channel * 7 + round * 3) % 19) / 10.0;
    site.run("execute procedure UCV2(?, 1, ?, ?)", {*row.at(0), decimal(value), stamp});
    ++added.archiveRows;
  }
  site.commit();
  return added;
}

SiteRowsAdded addJournalRows(const std::string& siteDbPath, int round) {
  SqlSession site(siteDbPath);
  SiteRowsAdded added;
  const std::string stamp = nowText();
  const std::size_t pick = static_cast<std::size_t>(round < 0 ? -round : round);

  // A request is replicated only for a flat whose resident is on record.
  const auto flats = site.run(
      "select a.name, l.flat, p.name from address_to_people l join address a on a.id_address = l.address_id "
      "left join people p on p.id_people = l.people_id order by a.name, l.flat");
  if (!flats.empty()) {
    const Row& flat = flats[pick % flats.size()];
    const RequestKind& kind = kRequestKinds[pick % kRequestKinds.size()];
    const std::string number = "Д-" + std::to_string(1000 + round);
    site.run("select record_id from PEOPLE_INSERT_ALERT(?, ?, ?, ?, ?, ?, ?, ?)",
             {text(flat[0]), text(flat[1]), std::string(kind.group), std::string(kind.alert), text(flat[2]),
              std::string(kind.comment), stamp, number});
    ++added.newRequests;
  }
  const long long openRequest = site.scalar(
      "select min(id_record) from journal_people_alerts where date_close is null and deleted = 0");
  if (openRequest > 0) {
    site.run("execute procedure PEOPLE_UPDATE_ALERT(?, ?, ?, ?)",
             {std::to_string(openRequest), std::string(kServants[pick % kServants.size()]),
              std::string("Выполнено"), stamp});
    ++added.closedRequests;
  }

  const auto addresses = site.run(
      "select a.name from address a where exists (select 1 from address_to_people l where l.address_id = "
      "a.id_address) order by a.name");
  if (!addresses.empty()) {
    const std::string tag =
        "Контроллер " + std::to_string(20 + round) + "/вход " + std::to_string(1 + pick % 4);
    site.run("select record_id from HARDWARE_INSERT_ALERT(?, ?, ?, ?, ?)",
             {tag, text(addresses[pick % addresses.size()][0]), stamp,
              std::string(kEventKinds[pick % kEventKinds.size()]), std::to_string(5000 + round)});
    ++added.newEvents;
  }
  const auto openEvents = site.run(
      "select first 1 t.name from journal_hardware j join item_tags t on t.id_tag = j.tag_id "
      "where j.date_close is null and j.deleted = 0 order by j.id_record");
  if (!openEvents.empty()) {
    const std::string tag = text(openEvents[0][0]);
    site.run("select record_id from HARDWARE_CONFIRM_ALERT(?, ?, ?)",
             {tag, stamp, std::string("Принято диспетчером")});
    site.run("select record_id from HARDWARE_CLOSE_ALERT(?, ?, ?)", {tag, stamp, InputValue()});
    ++added.closedEvents;
  }
  site.commit();
  return added;
}

}  // namespace mirrox::demo

// Every catalogue and preparation statement goes to a real Firebird 3 server, against the smallest
// site schema that has the tables and columns they name, so that a statement the site database
// would refuse is caught here rather than at a site.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "link/catalogue.h"
#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::TempDir;

constexpr const char* kSiteTables = R"(
create table street (id_street integer, name varchar(40));
create table house (id_house integer, street_id integer, number varchar(10), building varchar(4), korpus varchar(4));
create table conc (id_conc integer, model_id smallint, house_id integer, ip_address varchar(15), ip_port integer,
  rs_num integer);
create table channel (id_channel integer, conc_id integer, flat integer);
create table lastrhv (channel_id integer, param smallint, r_value numeric(18,5), rec_date timestamp);
create table rashod2004 (channel_id integer, param smallint, rec_date timestamp, rashod_value numeric(18,5));
create table journal_people_alerts (id_record integer, flat_number integer, date_open timestamp,
  date_close timestamp, deleted integer, number integer, address_id integer, client_people_id integer,
  servant_people_id integer, client_comment_id integer, servant_comment_id integer, alert_id integer);
create table address_to_people (address_id integer, flat integer, phone_id integer, entrance_num integer,
  floor_num integer);
create table phone_numbers (id_phone integer, number varchar(20));
create table people (id_people integer, name varchar(40));
create table comments (id_comment integer, name varchar(40));
create table address (id_address integer, name varchar(40));
create table people_alerts (id_alert integer, group_id integer, name varchar(40));
create table people_alert_group (id_group integer, name varchar(40));
create table journal_hardware (id_record integer, date_open timestamp, date_confirm timestamp,
  date_close timestamp, register_number integer, comment_id integer, address_id integer, alert_id integer,
  tag_id integer);
create table hardware_alerts (id_alert integer, name varchar(40));
create table item_tags (id_tag integer, name varchar(40));
commit;
)";

std::string asStatement(std::string text) {
  const std::size_t placeholder = text.find("%s");
  if (placeholder != std::string::npos) text.replace(placeholder, 2, "01.01.2024");
  // The trigger bodies hold ";": end every statement with a terminator of its own.
  return text + "^\ncommit^\n";
}

TEST(CatalogueOnFirebird, EveryStatementIsAcceptedBySiteDatabaseTables) {
  TempDir dir;
  const testing_support::ScratchDatabase site(dir.path(), "site.fdb");
  std::string script = kSiteTables;
  script += "SET TERM ^ ;\n";
  for (const TCommand& command : OriginalRep::MeteringPrepScript) script += asStatement(command.Param);
  for (const TCommand& command : JournalRep::JournalPrepScript) script += asStatement(command.Param);
  for (const TCommand* command : catalogueCommands()) script += asStatement(command->Param);
  script += asStatement(OriginalRep::CmdSelectArchiveSince.Param);
  script += asStatement(JournalRep::CmdSelectRequestsSince.Param);
  script += "SET TERM ; ^\n";
  const auto scriptPath = dir.file("catalogue.sql");
  testing_support::writeFile(scriptPath, script);

  std::string output;
  EXPECT_EQ(testing_support::runIsql(site.connectionName(), scriptPath, output), 0) << output;
  EXPECT_EQ(output.find("Statement failed"), std::string::npos) << output;
}

}  // namespace
}  // namespace mirrox

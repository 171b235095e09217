#include "link/journal_rep.h"

namespace mirrox::JournalRep {

// Lines of a multi-line statement are separated by CR LF; the last line has no terminator.

const TCommand CmdMarkRequests{"{053D9F1B-8C82-4A0E-8426-21521484D343}", KindExecute,
                               "update R_CLIENT set status = 3 where status = 2"};

// A request whose address and flat have no row in address_to_people is never selected.
const TCommand CmdSelectRequests{
    "{7B7F2344-E346-4A28-A64C-B17B7091ED98}", KindSelect,
    "select distinct jpa.flat_number, jpa.date_open, jpa.date_close, jpa.deleted, jpa.number,\r\n"
    "adr.name, pa.name, pag.name, t2.name, t3.name, c2.name, c3.name, ph.number,\r\n"
    "adr_p.entrance_num, adr_p.floor_num\r\n"
    "from journal_people_alerts jpa\r\n"
    "inner join address_to_people adr_p on jpa.address_id = adr_p.address_id "
    "and jpa.flat_number = adr_p.flat\r\n"
    "left join phone_numbers ph on adr_p.phone_id = ph.id_phone\r\n"
    "left join people t2 on jpa.client_people_id = t2.id_people\r\n"
    "left join people t3 on jpa.servant_people_id = t3.id_people\r\n"
    "left join comments c2 on jpa.client_comment_id = c2.id_comment\r\n"
    "left join comments c3 on jpa.servant_comment_id = c3.id_comment\r\n"
    "inner join address adr on jpa.address_id = adr.id_address\r\n"
    "inner join (people_alerts pa inner join people_alert_group pag on pa.group_id = pag.id_group)\r\n"
    "on jpa.alert_id = pa.id_alert\r\n"
    "inner join r_client r on jpa.id_record = r.id_rec and r.status = 3"};

const TCommand CmdPurgeRequests{"{5B4E2347-969A-4B65-9BD4-C4B59A15E76A}", KindExecute,
                                "delete from R_CLIENT where status = 3"};

const TCommand CmdSelectRequestsSince{
    "", KindSelect,
    "select jpa.flat_number, jpa.date_open, jpa.date_close, jpa.deleted, jpa.number,\r\n"
    "adr.name, pa.name, pag.name, t2.name, t3.name, c2.name, c3.name, ph.number,\r\n"
    "adr_p.entrance_num, adr_p.floor_num\r\n"
    "from journal_people_alerts jpa\r\n"
    "inner join address_to_people adr_p on jpa.address_id = adr_p.address_id "
    "and jpa.flat_number = adr_p.flat\r\n"
    "left join phone_numbers ph on adr_p.phone_id = ph.id_phone\r\n"
    "left join people t2 on jpa.client_people_id = t2.id_people\r\n"
    "left join people t3 on jpa.servant_people_id = t3.id_people\r\n"
    "left join comments c2 on jpa.client_comment_id = c2.id_comment\r\n"
    "left join comments c3 on jpa.servant_comment_id = c3.id_comment\r\n"
    "inner join address adr on jpa.address_id = adr.id_address\r\n"
    "inner join (people_alerts pa inner join people_alert_group pag on pa.group_id = pag.id_group)\r\n"
    "on jpa.alert_id = pa.id_alert and jpa.date_open > '%s'"};

const TCommand CmdMarkEvents{"{9AACCE59-2875-4847-824A-07C4FA0D220E}", KindExecute,
                             "update R_CLIENT set status = 1 where status = 0"};

const TCommand CmdSelectEvents{
    "{F5121078-35A8-49F4-9454-746C7FD0F507}", KindSelect,
    "select distinct A.name, JHA.date_open, JHA.date_confirm, JHA.date_close, HA.name,\r\n"
    "'192.168.254.1 ' || trim (IT.name) as TAG, JHA.register_number, CO.name as CMNT\r\n"
    "from journal_hardware JHA\r\n"
    "inner join r_client r on jha.id_record = r.id_rec and r.status = 1\r\n"
    "left join comments CO on JHA.comment_id = CO.id_comment\r\n"
    "inner join address A on jha.address_id = A.id_address\r\n"
    "inner join hardware_alerts HA on jha.alert_id = HA.id_alert\r\n"
    "inner join Item_Tags IT on jha.tag_id = it.id_tag"};

const TCommand CmdPurgeEvents{"{1120E19E-2171-4A5D-B4F6-C0D67BCF1E8B}", KindExecute,
                              "delete from R_CLIENT where status = 1"};

const std::array<TCommand, 3> JournalPrepScript{{
    {"", KindExecute,
     "CREATE TABLE R_CLIENT (\r\n"
     "ID_REC INTEGER,\r\n"
     "STATUS INTEGER\r\n"
     ")"},
    {"", KindExecute,
     "CREATE OR ALTER TRIGGER JOURNAL_PEOPLE_ALERTS_AU1 FOR JOURNAL_PEOPLE_ALERTS\r\n"
     "ACTIVE AFTER INSERT OR UPDATE POSITION 0\r\n"
     "AS\r\n"
     "begin\r\n"
     "insert into R_CLIENT values (new.id_record,2);\r\n"
     "end"},
    {"", KindExecute,
     "CREATE OR ALTER TRIGGER JOURNAL_HARDWARE_AIU0 FOR JOURNAL_HARDWARE\r\n"
     "ACTIVE AFTER INSERT OR UPDATE POSITION 0\r\n"
     "AS\r\n"
     "begin\r\n"
     "insert into R_CLIENT values (new.id_record,0);\r\n"
     "end"},
}};

}  // namespace mirrox::JournalRep

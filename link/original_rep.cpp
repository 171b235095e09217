#include "link/original_rep.h"

namespace mirrox::OriginalRep {

// Lines of a multi-line statement are separated by CR LF; the last line has no terminator.

const TCommand CmdSelectAddress{"{C5403F4B-19F2-4B23-8C9F-29909F0C761C}", KindSelect,
                                "select s.id_street, h.id_house, s.name, h.number, h.building, h.korpus,\r\n"
                                "co.model_id, co.ip_address, co.ip_port, co.rs_num, c.*\r\n"
                                "from street s, house h, conc co, channel c\r\n"
                                "where s.id_street = h.street_id and h.id_house = co.house_id\r\n"
                                "and co.id_conc = c.conc_id and c.flat = 0"};

const TCommand CmdSelectCurrentValues{
    "{29819AB9-0808-4463-AB4D-DE6B3FCFB34A}", KindSelect,
    "select L.* from LASTRHV L , CHANNEL C where L.CHANNEL_ID = C.ID_CHANNEL AND C.FLAT = 0"};

const TCommand CmdMarkArchive{"{A429281C-D55B-44BA-B96B-26FEDBC2015E}", KindExecute,
                              "update REP_RASHOD2004 set status = 1"};

const TCommand CmdSelectArchive{
    "{E576DF6D-9D1A-4E59-B808-6AE77DC10F97}", KindSelect,
    "select r.channel_id, r.param, r.rashod_value, r.rec_date from REP_RASHOD2004 R, CHANNEL C "
    "where C.Flat = 0 and C.ID_CHANNEL = R.CHANNEL_ID and r.status = 1"};

const TCommand CmdPurgeArchive{"{D82E24F5-4EE6-43E1-AC6A-718C3CEF5C2D}", KindExecute,
                               "delete from REP_RASHOD2004 where status = 1"};

const TCommand CmdSelectArchiveSince{
    "", KindSelect,
    "select r.channel_id, r.param, r.rashod_value,r.rec_date from rashod2004 r, channel c "
    "where r.rec_date > '%s' and r.param > 0 and r.channel_id = c.id_channel and c.flat = 0"};

const std::array<TCommand, 2> MeteringPrepScript{{
    {"", KindExecute,
     "CREATE TABLE REP_RASHOD2004 (\r\n"
     "CHANNEL_ID INTEGER,\r\n"
     "PARAM SMALLINT,\r\n"
     "REC_DATE TIMESTAMP,\r\n"
     "RASHOD_VALUE NUMERIC(18,5),\r\n"
     "STATUS SMALLINT\r\n"
     ")"},
    {"", KindExecute,
     "CREATE TRIGGER RASHOD2004_AI0 FOR RASHOD2004\r\n"
     "ACTIVE AFTER INSERT POSITION 0\r\n"
     "AS\r\n"
     "begin\r\n"
     "insert into rep_rashod2004 values (new.channel_id,new.param,\r\n"
     "new.rec_date,new.rashod_value,0);\r\n"
     "end"},
}};

}  // namespace mirrox::OriginalRep

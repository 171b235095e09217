#pragma once

#include "tests/support/scratch_database.h"

namespace mirrox::testing_support {

// A call with one input of each kind the engine binds (a number, a text, a time stamp, a numeric),
// four a row, so rows travel in packs of 400. The key lets a row fail on its own (a NULL key, a
// number the server cannot read) or only because an earlier row of the file took its key.
inline constexpr const char* kPutCall = "execute procedure PUT (:id, :name, :stamp, :n)";

// Creates the table T and the procedure PUT that inserts one row of it.
inline void createPutProcedure(const ScratchDatabase& db) {
  db.exec(
      "create table T (ID integer not null primary key, NAME varchar(8), STAMP timestamp, N numeric(9,2))");
  db.exec(
      "create procedure PUT (ID integer, NAME varchar(8), STAMP timestamp, N numeric(9,2)) as begin "
      "insert into T values (:ID, :NAME, :STAMP, :N); end");
}

}  // namespace mirrox::testing_support

#include "engine/upgrade_scripts.h"

#include "engine/procedure_sql.h"

namespace mirrox {

const std::array<TCommand, 4> MeteringUpgradeScript{{
    {"", KindExecute, kREPL_GETSPEC_IDSql},
    {"", KindExecute, kREPL_DATASql},
    {"", KindExecute, kREPL_ADDRESSSql},
    {"", KindExecute, "SET GENERATOR ReplVersion TO 2"},
}};

const std::array<TCommand, 3> JournalUpgradeScript{{
    {"", KindExecute, kREPL_ZAYAVKASql},
    {"", KindExecute, kREPL_HWSql},
    {"", KindExecute, "SET GENERATOR ReplZVersion TO 5"},
}};

const SchemaTarget* schemaTarget(std::int32_t dbType) {
  static const SchemaTarget metering{"ReplVersion", kMeteringSchemaVersion, MeteringUpgradeScript};
  static const SchemaTarget journal{"ReplZVersion", kJournalSchemaVersion, JournalUpgradeScript};
  if (dbType == DbTypeMetering) return &metering;
  if (dbType == DbTypeJournal) return &journal;
  return nullptr;
}

}  // namespace mirrox

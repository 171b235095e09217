#pragma once

// The two template databases that the program writes out on first start, embedded as Qt
// resources by the mirrox_templates library. Linking mirrox_templates registers them; no call is
// needed before QFile can open them.

namespace mirrox {

// Resource path of the metering template (database type 0), written to serverdb.gdb.
inline constexpr const char* kMeteringTemplateResource = ":/DB/DB_L";
// Resource path of the journal template (database type 1), written to journal.db.
inline constexpr const char* kJournalTemplateResource = ":/DB/DB_J";

// The template resource of a database type: 0 metering, 1 journal; nullptr for any other type.
const char* templateResourcePath(int dbType);

}  // namespace mirrox

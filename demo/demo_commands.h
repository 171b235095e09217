#pragma once

#include <filesystem>
#include <ostream>

namespace mirrox::demo {

// The tool's sub-commands. Each reads "mirrox.ini" in `installDir` (the directory of the demo's
// `mirrox`), reports to `out` in UTF-8 and returns the process exit code: 0 when everything
// succeeded, 1 when anything failed (each failure is reported, and the other objects are still
// served).

// Installs the change-capture table and triggers at every object's site through the engine's
// PrepareRemoteDatabase, printing what it publishes.
int prepareSites(const std::filesystem::path& installDir, std::ostream& out);

// Adds one round of new rows at every object's site (readings for a metering site, requests and
// hardware events for a journal site), through the site database's own procedures.
int addSiteRows(const std::filesystem::path& installDir, int round, std::ostream& out);

// Prints, for each local database named by the objects, the row counts and latest rows of the
// tables that replication fills.
int showLocalDatabases(const std::filesystem::path& installDir, int sampleRows, std::ostream& out);

}  // namespace mirrox::demo

#pragma once

#include <string>

namespace mirrox::demo {

// What one round of new site activity wrote.
struct SiteRowsAdded {
  int archiveRows = 0;     // hourly values stored through UCV2 (current value and archive)
  int newRequests = 0;     // requests entered through PEOPLE_INSERT_ALERT
  int closedRequests = 0;  // open requests served through PEOPLE_UPDATE_ALERT
  int newEvents = 0;       // hardware events opened through HARDWARE_INSERT_ALERT
  int closedEvents = 0;    // open events confirmed and closed
};

// New readings for every house meter of a metering site (FLAT = 0 channels, parameter 1), the way
// the site's data collection stores them, stamped with the current time or, when the archive
// already holds that time or a later one, one second after its latest time, so every round adds
// archive rows. `round` varies the values. Throws fb::Error.
SiteRowsAdded addMeteringRows(const std::string& siteDbPath, int round);

// A round of dispatch work at a journal site: one new request for a flat with a recorded
// resident, the oldest open request served and closed, one new hardware event, the oldest open
// event confirmed and closed. Everything goes through the site database's own procedures.
// Throws fb::Error.
SiteRowsAdded addJournalRows(const std::string& siteDbPath, int round);

}  // namespace mirrox::demo

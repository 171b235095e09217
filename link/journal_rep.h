#pragma once

#include <array>

#include "link/command.h"

// The journal set: the commands that mark, select and purge captured requests and hardware events
// of a journal site, the select of requests from a date, and the statements that prepare a journal
// site database for change capture. docs/protocol.md lists the column order of each select.
namespace mirrox::JournalRep {

extern const TCommand CmdMarkRequests;
extern const TCommand CmdSelectRequests;
extern const TCommand CmdPurgeRequests;
// Always sent as text, with the start date in place of '%s' (substituted by the caller).
extern const TCommand CmdSelectRequestsSince;
extern const TCommand CmdMarkEvents;
// The TAG column begins with the fixed text "192.168.254.1 "; the statement holds no placeholder.
extern const TCommand CmdSelectEvents;
extern const TCommand CmdPurgeEvents;

// Sent in this order as text, one KindExecute command each.
extern const std::array<TCommand, 3> JournalPrepScript;

}  // namespace mirrox::JournalRep

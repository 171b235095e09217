#pragma once

#include <array>

#include "link/command.h"

// The metering set: the commands that mark, select and purge the captured changes of a metering
// site, the selects of its address data and current values, and the statements that prepare a
// metering site database for change capture. docs/protocol.md lists the column order of each select.
namespace mirrox::OriginalRep {

extern const TCommand CmdSelectAddress;
extern const TCommand CmdSelectCurrentValues;
extern const TCommand CmdMarkArchive;
extern const TCommand CmdSelectArchive;
extern const TCommand CmdPurgeArchive;
// Always sent as text. Its statement holds the placeholder '%s' for the start date, in the form the
// operator typed it; the caller substitutes it into a copy.
extern const TCommand CmdSelectArchiveSince;

// Sent in this order as text, one KindExecute command each.
extern const std::array<TCommand, 2> MeteringPrepScript;

}  // namespace mirrox::OriginalRep

#pragma once

#include <span>
#include <string_view>

#include "link/command.h"

namespace mirrox {

// Every catalogue command that has a GUID, from both sets. The agent uses this to know the
// statement behind a GUID; the order is stable (metering set, then journal set).
std::span<const TCommand* const> catalogueCommands();

// The catalogue command whose `Cmd` equals the GUID exactly (case-sensitive, with braces), or
// nullptr when the GUID is unknown or empty.
const TCommand* findCatalogueCommand(std::string_view guid);

}  // namespace mirrox

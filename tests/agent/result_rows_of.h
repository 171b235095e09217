#pragma once

#include <string>

#include "tests/support/scratch_database.h"

namespace mirrox::agent::testing {

// The rows of a select at a site database in the form of a result file, as the agent writes them.
std::string resultRowsOf(const testing_support::ScratchDatabase& site, const std::string& select);

}  // namespace mirrox::agent::testing

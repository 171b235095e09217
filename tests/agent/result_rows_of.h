#pragma once

#include <string>

#include "tests/support/scratch_database.h"

namespace mirrox::testing_support {

// The rows of a select at a site database in the form of a result file, as the agent writes them.
std::string resultRowsOf(const ScratchDatabase& site, const std::string& select);

}  // namespace mirrox::testing_support

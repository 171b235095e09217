#pragma once

#include "tests/support/temp_dir.h"

namespace mirrox::agent::testing {

// A per-test directory that the Firebird server's own account can also write to, removed with
// its content at the end of the test.
using TestDirectory = testing_support::TempDir;

}  // namespace mirrox::agent::testing

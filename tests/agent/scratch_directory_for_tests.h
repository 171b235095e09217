#pragma once

#include <filesystem>

#include "agent/scratch_directory.h"

namespace mirrox::agent::testing {

// A per-test directory that the Firebird server's own account can also write to, removed with
// its content at the end of the test.
class TestDirectory {
 public:
  TestDirectory() : scratch_("mirrox-agent-test-") {
    std::filesystem::permissions(scratch_.path(), std::filesystem::perms::all);
  }
  const std::filesystem::path& path() const { return scratch_.path(); }

 private:
  ScratchDirectory scratch_;
};

}  // namespace mirrox::agent::testing

#include "agent/scratch_directory.h"

#include <stdexcept>
#include <string>
#include <system_error>

#include "link/platform/files.h"
#include "link/platform/host.h"

namespace mirrox::agent {

ScratchDirectory::ScratchDirectory(const char* prefix, const std::optional<std::string>& parent) {
  const std::filesystem::path where =
      parent ? std::filesystem::path(*parent) : platform::temporaryDirectory();
  std::string pattern = (where / prefix).string() + "XXXXXX";
  if (const int error = platform::createUniqueDirectory(pattern); error != 0) {
    throw std::runtime_error("cannot create a directory for results (" + pattern +
                             "): " + platform::errorText(error));
  }
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace mirrox::agent

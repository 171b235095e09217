#include "agent/scratch_directory.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>

namespace mirrox::agent {

ScratchDirectory::ScratchDirectory(const char* prefix, const std::optional<std::string>& parent) {
  const char* base = std::getenv("TMPDIR");
  const std::string where = parent ? *parent : base != nullptr && *base != '\0' ? base : "/tmp";
  std::string pattern = where + "/" + prefix + "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a directory for results (" + pattern +
                             "): " + std::strerror(errno));
  }
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace mirrox::agent

#include "tests/support/temp_dir.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "link/platform/files.h"

namespace mirrox::testing_support {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "mirrox-test-XXXXXX").string();
  if (platform::createUniqueDirectory(pattern) != 0)
    throw std::runtime_error("mkdtemp failed for " + pattern);
  path_ = pattern;
  // The local Firebird server runs as its own account and must reach files made here.
  std::filesystem::permissions(path_, std::filesystem::perms::all);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace mirrox::testing_support

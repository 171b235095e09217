#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mirrox::testing_support {

// A fresh directory under the system's temporary directory, removed with everything in it when the
// object goes. Tests run in parallel, so every test gets its own.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path file(std::string_view name) const { return path_ / name; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

}  // namespace mirrox::testing_support
